#pragma once
// The Win32 program start, shared by the launcher and the health check's child processes.

#include "common/scoped_handle_win32.hpp"
#include "outside/program_starter.hpp"

#include <optional>

namespace quorvel {

// The new process's handles, owned.
struct StartedProcess {
    ScopedKernelHandle process;
    ScopedKernelHandle thread;
};

// CreateProcessW: the program as application name, a writable copy of the command line, nothing
// inherited, CREATE_NO_WINDOW only, the caller's environment, a zeroed STARTUPINFOW. Nothing when
// the program cannot be started.
std::optional<StartedProcess> startProcess(const ProgramStart& options);

// startProcess, with both handles of the new process closed before returning.
class Win32ProgramStarter final : public ProgramStarter {
public:
    bool start(const ProgramStart& options) override;
};

}  // namespace quorvel
