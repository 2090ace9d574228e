#include "app/command_line_win32.hpp"

#include "common/error.hpp"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace quorvel {

Arguments processArguments() {
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
    check(raw != nullptr, "无法读取进程参数");
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> owned(raw, &LocalFree);
    return Arguments(raw, raw + count);
}

}  // namespace quorvel
