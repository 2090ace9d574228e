#include "launch/launch_arguments.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "lobby/entry.hpp"

namespace quorvel {

std::wstring quoteArgument(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 2);
    out.push_back(L'"');
    std::size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            out.append(2 * backslashes + 1, L'\\');
            out.push_back(c);
            backslashes = 0;
        } else {
            out.append(backslashes, L'\\');
            out.push_back(c);
            backslashes = 0;
        }
    }
    out.append(2 * backslashes, L'\\');
    out.push_back(L'"');
    return out;
}

std::wstring buildCommandLine(const std::filesystem::path& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = quoteArgument(program.wstring());
    for (const std::wstring& argument : arguments) {
        line.push_back(L' ');
        line += quoteArgument(argument);
    }
    return line;
}

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

void launchProgram(ProgramStarter& starter, const std::filesystem::path& program,
                   const std::vector<std::wstring>& arguments) {
    const ProgramStart options{program, buildCommandLine(program, arguments), program.parent_path()};
    check(starter.start(options), kLaunchFailed);
}

}  // namespace quorvel
