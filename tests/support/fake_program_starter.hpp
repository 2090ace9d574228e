#pragma once
// A ProgramStarter that records each start and starts nothing.

#include "outside/program_starter.hpp"

#include <vector>

namespace quorvel::testing {

struct RecordingProgramStarter final : ProgramStarter {
    bool succeeds = true;
    std::vector<ProgramStart> starts;

    bool start(const ProgramStart& options) override {
        starts.push_back(options);
        return succeeds;
    }
};

}  // namespace quorvel::testing
