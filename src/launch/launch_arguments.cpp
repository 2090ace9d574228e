#include "launch/launch_arguments.hpp"

#include "common/command_line.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "lobby/entry.hpp"

namespace quorvel {

std::vector<std::wstring> buildLaunchArguments(const Entry& entry, const Clock& clock) {
    const Entry checked = validateEntry(entry.json, clock);
    std::vector<std::wstring> arguments{L"-applaunch", L"570"};
    if (checked.toolsMode) {
        arguments.insert(arguments.end(), {L"-tools", L"-addon", toWide(checked.addon)});
    }
    arguments.insert(arguments.end(), {L"+connect", toWide(checked.serverSteamId)});
    return arguments;
}

std::filesystem::path findSteamLauncher(const std::filesystem::path& steamFolder) {
    const std::filesystem::path launcher = steamFolder / "steam.exe";
    check(std::filesystem::is_regular_file(std::filesystem::status(launcher)), kSteamLauncherMissing);
    return launcher;
}

void launchProgram(Processes& processes, const std::filesystem::path& program,
                   const std::vector<std::wstring>& arguments) {
    const ProgramStart options{program, buildCommandLine(program, arguments), program.parent_path()};
    check(processes.start(options) != nullptr, kLaunchFailed);
}

}  // namespace quorvel
