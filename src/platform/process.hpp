#pragma once
// Processes seam: starting a program, or opening a running process by its id, both giving one
// Process to wait for, end or read the exit code of. Implementation: Win32Processes
// (process_win32.hpp); fake: testing::FakeProcesses (tests/support/fake_processes.hpp).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quorvel {

// How one program is started.
struct ProgramStart {
    // The executable, used as given: no search path is consulted.
    std::filesystem::path program;
    // The whole command line, program name first, already quoted.
    std::wstring commandLine;
    // The started program's current folder; empty keeps the caller's.
    std::filesystem::path currentDirectory;
};

// One process held by this one: while the object lives, the process's id cannot name another
// process. Destroying it closes the handle and leaves the process running; a caller that only
// starts a program drops the object at once.
class Process {
public:
    virtual ~Process() = default;
    // Waits up to `milliseconds` for the process to end: true only when it has ended, false on a
    // time-out or a failed wait.
    virtual bool waitForExit(std::uint32_t milliseconds) = 0;
    // Ends it with `exitCode`, without waiting for the end to complete; false when the platform
    // refuses, as it does for an opened process, which lacks the right to end it.
    virtual bool terminate(std::uint32_t exitCode) = 0;
    // Its exit code (the platform's "still active" value while it runs); nothing when it cannot be
    // read.
    virtual std::optional<std::uint32_t> exitCode() = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts the program with the caller's environment, no inherited handles and no console
    // window. Null when it cannot be started.
    virtual std::unique_ptr<Process> start(const ProgramStart& options) = 0;
    // Opens the running process `pid` to wait for its end and read its exit code, not to end it.
    // Null when it cannot be opened.
    virtual std::unique_ptr<Process> open(std::uint32_t pid) = 0;
};

}  // namespace quorvel
