#include "support/fake_processes.hpp"

#include <filesystem>
#include <utility>

namespace quorvel::testing {
namespace {

class ScriptedProcess final : public Process {
public:
    // An opened process may not be ended, as the platform's opened handle lacks the right.
    ScriptedProcess(FakeProcesses& owner, std::string name, ProcessScript script, bool mayTerminate)
        : owner_(owner), name_(std::move(name)), script_(script), mayTerminate_(mayTerminate) {
        ++owner_.handlesOpen;
    }
    ~ScriptedProcess() override {
        --owner_.handlesOpen;
        owner_.record("close " + name_);
    }

    bool waitForExit(std::uint32_t milliseconds) override {
        owner_.record("wait " + std::to_string(milliseconds));
        return script_.ends;
    }
    bool terminate(std::uint32_t exitCode) override {
        owner_.record("terminate " + std::to_string(exitCode));
        if (!mayTerminate_) return false;
        script_ = {true, exitCode};
        return true;
    }
    std::optional<std::uint32_t> exitCode() override { return script_.exitCode; }

private:
    FakeProcesses& owner_;
    std::string name_;
    ProcessScript script_;
    bool mayTerminate_;
};

}  // namespace

std::unique_ptr<Process> FakeProcesses::start(const ProgramStart& options) {
    starts.push_back(options);
    const std::string name = options.program.filename().string();
    record("start " + name);
    if (startFails) return nullptr;
    ProcessScript chosen;
    if (script) {
        chosen = script(options);
    } else {
        chosen.exitCode = std::filesystem::exists(options.program) ? 0 : 1;
    }
    return std::make_unique<ScriptedProcess>(*this, name, chosen, true);
}

std::unique_ptr<Process> FakeProcesses::open(std::uint32_t pid) {
    record("open " + std::to_string(pid));
    if (openFails) return nullptr;
    auto process = std::make_unique<ScriptedProcess>(*this, std::to_string(pid), opened, false);
    if (onOpen) onOpen();
    return process;
}

void FakeProcesses::record(const std::string& event) {
    events.push_back(event);
    if (log != nullptr) log->push_back("process " + event);
}

}  // namespace quorvel::testing
