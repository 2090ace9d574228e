#pragma once
// FakeProcesses: the Processes seam scripted, every start, open, wait, end and closed handle
// recorded. Nothing is started or opened for real.

#include "platform/process.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

// How one process the fake hands out behaves.
struct ProcessScript {
    bool ends = true;                           // within every wait
    std::optional<std::uint32_t> exitCode = 0;  // nothing: the code cannot be read
};

struct FakeProcesses final : Processes {
    // Starting: every start fails when `startFails`; otherwise `script` says how the started
    // program behaves, by default ending with 0 when its file exists and with 1 when not.
    bool startFails = false;
    std::function<ProcessScript(const ProgramStart&)> script;
    // Opening: every open fails when `openFails`; otherwise the process behaves as `opened`, and
    // `onOpen` runs once it is open (to change the world it was found in).
    bool openFails = false;
    ProcessScript opened;
    std::function<void()> onOpen;

    // Every start asked for, also those that failed, in order.
    std::vector<ProgramStart> starts;
    // In order: "start NAME" (the program's file name) or "open PID", then for the process handed
    // out "wait MS", "terminate CODE" (also when refused), and "close NAME" or "close PID" when its
    // handle is closed.
    std::vector<std::string> events;
    std::vector<std::string>* log = nullptr;  // also gets "process <event>" when set
    int handlesOpen = 0;

    std::unique_ptr<Process> start(const ProgramStart& options) override;
    std::unique_ptr<Process> open(std::uint32_t pid) override;
    void record(const std::string& event);
};

}  // namespace quorvel::testing
