#pragma once
// ChildProcesses seam: starting a program and waiting for it with a time-out. Implementation:
// Win32ChildProcesses (child_process_win32.hpp); fake: testing::FakeChildProcesses
// (support/fake_install.hpp).

#include "outside/program_starter.hpp"

#include <cstdint>
#include <memory>
#include <optional>

namespace quorvel {

// A started program; destroying it closes its process and thread handles (it keeps running).
class ChildProcess {
public:
    virtual ~ChildProcess() = default;
    // Waits up to `milliseconds` for it to end; true when it has ended.
    virtual bool waitForExit(std::uint32_t milliseconds) = 0;
    // Ends it with `exitCode`, without waiting for the end to complete.
    virtual void terminate(std::uint32_t exitCode) = 0;
    // Its exit code; nothing when it cannot be read.
    virtual std::optional<std::uint32_t> exitCode() = 0;
};

class ChildProcesses {
public:
    virtual ~ChildProcesses() = default;
    // Starts the program with the caller's environment, no inherited handles and no console
    // window. Null when it cannot be started.
    virtual std::unique_ptr<ChildProcess> start(const ProgramStart& options) = 0;
};

}  // namespace quorvel
