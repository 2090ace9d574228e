// launchProgram through CreateProcessW, starting the stand-in steam.exe, which records what it got.
#include "common/command_line.hpp"
#include "common/text.hpp"
#include "launch/launch_arguments.hpp"
#include "platform/process_win32.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <windows.h>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The first record the stand-in wrote into `record`. The started program runs on its own, so this
// waits for it (up to 20 seconds) for lack of anything to wait on.
json firstLaunch(const fs::path& record) {
    const ULONGLONG deadline = GetTickCount64() + 20'000;
    while (GetTickCount64() < deadline) {
        if (fs::exists(record)) {
            const std::string text = testing::readFile(record);
            const std::size_t end = text.find('\n');
            if (end != std::string::npos) return json::parse(text.substr(0, end));
        }
        Sleep(20);
    }
    ADD_FAILURE() << "nothing recorded in " << record.string();
    return json::object();
}

json expectedRecord(const fs::path& program, const std::vector<std::wstring>& arguments, const fs::path& folder) {
    json expected{{"commandLine", toNarrow(buildCommandLine(program, arguments))},
                  {"currentDirectory", toNarrow(folder.wstring())},
                  {"arguments", json::array({toNarrow(program.wstring())})}};
    for (const std::wstring& argument : arguments) expected["arguments"].push_back(toNarrow(argument));
    return expected;
}

class LaunchWin32 : public ::testing::Test {
protected:
    testing::TempDir dir;
    Win32Processes starter;

    fs::path installSteam(const fs::path& folder) {
        fs::create_directories(folder);
        fs::copy_file(testing::buildFolder() / "stand-ins" / "steam.exe", folder / "steam.exe");
        return findSteamLauncher(folder);
    }
};

TEST_F(LaunchWin32, SteamGetsTheQuotedCommandLineAndStartsInItsOwnFolder) {
    const fs::path steam = installSteam(dir / "Program Files (x86)" / L"Steam 客户端");
    const std::vector<std::wstring> arguments = {
        L"-applaunch", L"570", L"-tools", L"-addon", L"add \"on\" \\", L"", L"C:\\a b\\", L"+connect", L"[A:1:123:45]"};
    launchProgram(starter, steam, arguments);
    EXPECT_EQ(firstLaunch(steam.parent_path() / "steam-launches.txt"),
              expectedRecord(steam, arguments, steam.parent_path()));
}

TEST_F(LaunchWin32, SteamStartsTheGameWithWhatFollowsTheApplicationId) {
    const fs::path steam = installSteam(dir / "Steam");
    // The game is another copy of the stand-in, which records its own start beside itself.
    const fs::path game = installSteam(dir / "dota 2 beta" / "game" / "bin" / "win64").parent_path() / "dota2.exe";
    fs::rename(game.parent_path() / "steam.exe", game);
    testing::writeFile(steam.parent_path() / "steam-knobs.txt",
                       "record=" + toNarrow((dir / "steam.txt").wstring()) + "\r\nstart=" + toNarrow(game.wstring()));

    launchProgram(starter, steam, {L"-applaunch", L"570", L"-tools", L"+connect", L"[A:1:123:45]"});
    EXPECT_EQ(firstLaunch(dir / "steam.txt")["arguments"].size(), 6u);
    EXPECT_EQ(firstLaunch(game.parent_path() / "steam-launches.txt"),
              expectedRecord(game, {L"-tools", L"+connect", L"[A:1:123:45]"}, game.parent_path()));
}

TEST_F(LaunchWin32, AProgramThatCannotStartFailsWithTheLaunchMessage) {
    EXPECT_EQ(testing::messageOf([&] { launchProgram(starter, dir / "steam.exe", {}); }), kLaunchFailed);
    testing::writeFile(dir / "steam.exe", "not a program");
    EXPECT_EQ(testing::messageOf([&] { launchProgram(starter, dir / "steam.exe", {}); }), kLaunchFailed);
}

}  // namespace
}  // namespace quorvel
