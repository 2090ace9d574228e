#include "platform/command_line.hpp"

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

std::vector<std::wstring> processArguments() {
    // A parent can start this program with an empty command line: the split then gives one empty
    // argument where CommandLineToArgvW alone gives the program's path. Only the arguments after
    // the first are read (app/run.cpp), so both mean "no argument".
    return splitCommandLine(GetCommandLineW());
}

}  // namespace quorvel
