#pragma once
// run, and the RunModes seam: ProductModes (product_modes.cpp), fake RecordingModes (tests/app/run_test.cpp).

#include "app/desktop.hpp"
#include "platform/known_folders.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// The run modes that an option selects (element 1 of an argument list of exactly two elements).
enum class RunMode { healthCheck, installOnly, updateOnly, selfTest, steamCheck, inspect, registerTestProtocol };

struct RunOption {
    std::wstring_view text;  // matched exactly, letter case included
    RunMode mode;
    bool reportsToErrorFile;  // a failure goes to "native-check-error.json", never to a message box
};

// Every option, in the order `run` compares them.
inline constexpr RunOption kRunOptions[] = {
    {L"--health-check", RunMode::healthCheck, true},
    {L"--install-only", RunMode::installOnly, true},
    {L"--update-only", RunMode::updateOnly, true},
    {L"--self-test", RunMode::selfTest, true},
    {L"--steam-check", RunMode::steamCheck, true},
    {L"--inspect", RunMode::inspect, true},
    {L"--register-test-protocol", RunMode::registerTestProtocol, false},
};

// What each run mode does. The program entry supplies the product's modes; tests supply others.
class RunModes {
public:
    virtual ~RunModes() = default;
    virtual void healthCheck() = 0;
    virtual void prepare(bool checkForUpdates) = 0;  // --install-only (false), --update-only (true)
    virtual void selfTest() = 0;
    virtual void steamCheck() = 0;
    virtual void inspect() = 0;
    virtual void registerTestProtocol() = 0;
    // `link` is element 1 of the argument list, or null when the program got no argument; the
    // Ticket is then empty.
    virtual void join(const std::string& ticket, const std::wstring* link) = 0;
};

using Arguments = std::vector<std::wstring>;

// Selects exactly one run mode from the argument list (element 0 is the program path) and runs it.
void run(const Arguments& args, RunModes& modes);

// Whether a failure of this start goes to "native-check-error.json" rather than a message box.
bool reportsToErrorFile(const Arguments& args);

// Runs `run` and turns a failure into the error file or a message box. Returns the exit code.
int runProgram(const Arguments& args, RunModes& modes, const ProgramLocations& locations, Desktop& desktop);

}  // namespace quorvel
