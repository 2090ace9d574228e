#include "outside/program_starter_win32.hpp"

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <string>

namespace quorvel {

bool Win32ProgramStarter::start(const ProgramStart& options) {
    std::wstring commandLine = options.commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const wchar_t* folder = options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str();
    if (!CreateProcessW(options.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder, &startup, &started)) {
        return false;
    }
    const ScopedKernelHandle thread(started.hThread);
    const ScopedKernelHandle process(started.hProcess);
    return true;
}

}  // namespace quorvel
