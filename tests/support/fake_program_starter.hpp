#pragma once
// A ProgramStarter that records each start and starts nothing.

#include "outside/program_starter.hpp"

#include <string>
#include <vector>

namespace quorvel::testing {

struct RecordingProgramStarter final : ProgramStarter {
    bool succeeds = true;
    std::vector<ProgramStart> starts;
    std::vector<std::string>* log = nullptr;  // also gets "start" when set

    bool start(const ProgramStart& options) override {
        starts.push_back(options);
        if (log != nullptr) log->push_back("start");
        return succeeds;
    }
};

}  // namespace quorvel::testing
