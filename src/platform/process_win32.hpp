#pragma once

#include "platform/process.hpp"

namespace quorvel {

// start: CreateProcessW with the program as application name, a writable copy of the command line,
// nothing inherited, CREATE_NO_WINDOW only, the caller's environment and a zeroed STARTUPINFOW;
// the new thread's handle is closed at once, the process handle has every right.
// open: OpenProcess with SYNCHRONIZE and PROCESS_QUERY_LIMITED_INFORMATION only, not inheritable:
// enough for WaitForSingleObject and GetExitCodeProcess; TerminateProcess is refused.
class Win32Processes final : public Processes {
public:
    std::unique_ptr<Process> start(const ProgramStart& options) override;
    std::unique_ptr<Process> open(std::uint32_t pid) override;
};

}  // namespace quorvel
