#include "app/command_line_win32.hpp"

#include "common/error.hpp"
#include "common/scoped_handle_win32.hpp"

#include <windows.h>
#include <shellapi.h>

namespace quorvel {

Arguments processArguments() {
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
    check(raw != nullptr, "无法读取进程参数");
    const ScopedLocalMemory owned(raw);
    return Arguments(raw, raw + count);
}

}  // namespace quorvel
