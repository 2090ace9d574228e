#pragma once

#include "update/child_process.hpp"

namespace quorvel {

// CreateProcessW with CREATE_NO_WINDOW, WaitForSingleObject, TerminateProcess, GetExitCodeProcess.
class Win32ChildProcesses final : public ChildProcesses {
public:
    std::unique_ptr<ChildProcess> start(const ProgramStart& options) override;
};

}  // namespace quorvel
