#pragma once

#include "outside/program_starter.hpp"

namespace quorvel {

// CreateProcessW: the program as application name, a writable copy of the command line, nothing
// inherited, CREATE_NO_WINDOW only, the caller's environment, a zeroed STARTUPINFOW; both handles
// of the new process closed before returning.
class Win32ProgramStarter final : public ProgramStarter {
public:
    bool start(const ProgramStart& options) override;
};

}  // namespace quorvel
