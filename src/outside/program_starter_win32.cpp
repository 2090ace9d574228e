#include "outside/program_starter_win32.hpp"

#include <windows.h>

#include <string>

namespace quorvel {

std::optional<StartedProcess> startProcess(const ProgramStart& options) {
    std::wstring commandLine = options.commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const wchar_t* folder = options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str();
    if (!CreateProcessW(options.program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder, &startup, &started)) {
        return std::nullopt;
    }
    return StartedProcess{ScopedKernelHandle(started.hProcess), ScopedKernelHandle(started.hThread)};
}

bool Win32ProgramStarter::start(const ProgramStart& options) {
    return startProcess(options).has_value();
}

}  // namespace quorvel
