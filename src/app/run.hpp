#pragma once
// run, and the RunModes seam: ProductModes (product_modes.cpp), fake RecordingModes (tests/app/run_test.cpp).

#include "app/desktop.hpp"
#include "platform/known_folders.hpp"
#include "update/uninstall.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

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
    // --uninstall [--quiet]; with `handOff`, the temporary copy's hidden option.
    virtual void uninstall(bool quiet, const UninstallHandOff* handOff) = 0;
    // `link` is element 1 of the argument list, or null when the program got no argument; the
    // Ticket is then empty.
    virtual void join(const std::string& ticket, const std::wstring* link) = 0;
};

// Every option and the run mode it selects (element 1 of an argument list of exactly two
// elements, or of three when the row names the one further argument it takes), in the order `run`
// compares them. A new run mode is one row here and its method in RunModes.
struct RunOption {
    std::wstring_view text;  // matched exactly, letter case included
    void (*start)(RunModes& modes);
    bool reportsToErrorFile;  // a failure goes to "native-check-error.json", never to a message box
    std::wstring_view then = {};  // when set, element 2, matched exactly, and required
};
inline constexpr RunOption kRunOptions[] = {
    {L"--health-check", [](RunModes& modes) { modes.healthCheck(); }, true},
    {L"--install-only", [](RunModes& modes) { modes.prepare(false); }, true},
    {L"--update-only", [](RunModes& modes) { modes.prepare(true); }, true},
    {L"--self-test", [](RunModes& modes) { modes.selfTest(); }, true},
    {L"--steam-check", [](RunModes& modes) { modes.steamCheck(); }, true},
    {L"--inspect", [](RunModes& modes) { modes.inspect(); }, true},
    {L"--register-test-protocol", [](RunModes& modes) { modes.registerTestProtocol(); }, false},
    {L"--uninstall", [](RunModes& modes) { modes.uninstall(false, nullptr); }, false},
    {L"--uninstall", [](RunModes& modes) { modes.uninstall(true, nullptr); }, false, L"--quiet"},
};

using Arguments = std::vector<std::wstring>;

// Selects exactly one run mode from the argument list (element 0 is the program path) and runs it.
void run(const Arguments& args, RunModes& modes);

// Whether a failure of this start goes to "native-check-error.json" rather than a message box.
bool reportsToErrorFile(const Arguments& args);

// Runs `run` and turns a failure into the error file or a message box. Returns the exit code.
int runProgram(const Arguments& args, RunModes& modes, const ProgramLocations& locations, Desktop& desktop);

}  // namespace quorvel
