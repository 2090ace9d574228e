#include "clients/command_line.hpp"

#include "common/error.hpp"
#include "common/scoped_handle_win32.hpp"

#include <windows.h>
#include <shellapi.h>

namespace quorvel {

std::vector<std::wstring> splitCommandLine(const std::wstring& text) {
    // CommandLineToArgvW answers an empty text with the path of the calling program, which would
    // name this helper as another process's program; an empty command line has one empty argument.
    if (text.empty() || text.front() == L'\0') return {std::wstring()};
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(text.c_str(), &count);
    check(arguments != nullptr, kCommandLineSplitFailed);
    const ScopedLocalMemory owned(reinterpret_cast<HLOCAL>(arguments));
    return std::vector<std::wstring>(arguments, arguments + count);
}

}  // namespace quorvel
