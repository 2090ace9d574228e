#pragma once
// ProgramStarter: starting another program without waiting for it. Implementation:
// Win32ProgramStarter (program_starter_win32.hpp); fake: testing::RecordingProgramStarter
// (tests/support/fake_program_starter.hpp).

#include <filesystem>
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

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Starts the program with the caller's environment, no inherited handles and no console
    // window, and lets go of it at once. False when it cannot be started.
    virtual bool start(const ProgramStart& options) = 0;
};

}  // namespace quorvel
