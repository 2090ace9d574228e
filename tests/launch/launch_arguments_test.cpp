#include "launch/launch_arguments.hpp"

#include "launch/commit_sequence.hpp"
#include "support/fake_processes.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace quorvel {
namespace {

using nlohmann::json;
using testing::messageOf;
using Strings = std::vector<std::wstring>;

class LaunchArgumentsTest : public ::testing::Test {
protected:
    testing::FakeClock clock;

    json entry(bool toolsMode) const {
        return json{{"expiresAt", clock.time + 30},    {"roomId", "abcdef123456"}, {"steamId", "76561198000000001"},
                    {"serverSteamId", "[A:1:123:45]"}, {"addon", "dotaTXQ"},       {"map", "m"},
                    {"connectionType", "steam"},       {"toolsMode", toolsMode}};
    }
};

TEST_F(LaunchArgumentsTest, BuildsTheListForEachMode) {
    EXPECT_EQ(buildLaunchArguments(validateEntry(entry(false), clock), clock),
              (Strings{L"-applaunch", L"570", L"+connect", L"[A:1:123:45]"}));
    // The addon goes as the lobby wrote it, letter case kept.
    EXPECT_EQ(buildLaunchArguments(validateEntry(entry(true), clock), clock),
              (Strings{L"-applaunch", L"570", L"-tools", L"-addon", L"dotaTXQ", L"+connect", L"[A:1:123:45]"}));
}

TEST_F(LaunchArgumentsTest, AnEntryThatExpiredSinceFailsWithItsMessage) {
    const Entry answer = validateEntry(entry(true), clock);
    clock.time += 31;
    EXPECT_EQ(messageOf([&] { buildLaunchArguments(answer, clock); }), "连接信息已过期，请回大厅重新点击");
}

TEST(FindSteamLauncher, WantsARegularFileNamedSteamExe) {
    testing::TempDir dir;
    EXPECT_EQ(messageOf([&] { findSteamLauncher(dir.path()); }), kSteamLauncherMissing);
    std::filesystem::create_directory(dir / "steam.exe");
    EXPECT_EQ(messageOf([&] { findSteamLauncher(dir.path()); }), kSteamLauncherMissing);
    std::filesystem::remove(dir / "steam.exe");
    testing::writeFile(dir / "steam.exe", "MZ");
    EXPECT_EQ(findSteamLauncher(dir.path()), dir / "steam.exe");
}

TEST(LaunchProgram, StartsInTheProgramsFolderWithTheQuotedCommandLine) {
    testing::FakeProcesses starter;
    const std::filesystem::path steam = "C:/Program Files (x86)/Steam/steam.exe";
    launchProgram(starter, steam, {L"-applaunch", L"570", L"+connect", L"[A:1:123:45]"});
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].program, steam);
    EXPECT_EQ(starter.starts[0].commandLine,
              L"\"C:/Program Files (x86)/Steam/steam.exe\" \"-applaunch\" \"570\" \"+connect\" \"[A:1:123:45]\"");
    EXPECT_EQ(starter.starts[0].currentDirectory, steam.parent_path());
    // Started and let go of: nothing is waited for or held.
    EXPECT_EQ(starter.events, (std::vector<std::string>{"start steam.exe", "close steam.exe"}));

    starter.startFails = true;
    EXPECT_EQ(messageOf([&] { launchProgram(starter, steam, {}); }), kLaunchFailed);
}

TEST(RunCommitSequence, CommitsOnlyOncePrepareAndConfirmHaveSucceeded) {
    struct Case {
        const char* name;
        int failingStep;  // 0: none; 1 prepare, 2 confirm, 3 act
        std::vector<int> ran;
        bool committed;
    };
    const Case cases[] = {
        {"all succeed", 0, {1, 2, 3}, true},
        {"prepare fails", 1, {1}, false},
        {"confirm fails", 2, {1, 2}, false},
        {"act fails", 3, {1, 2, 3}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> ran;
        const auto step = [&](int n) {
            return [&ran, n, &c] {
                ran.push_back(n);
                if (n == c.failingStep) throw UserError("step " + std::to_string(n));
            };
        };
        bool committed = false;
        const std::string message = messageOf([&] { runCommitSequence(step(1), step(2), step(3), committed); });
        EXPECT_EQ(message, c.failingStep == 0 ? "(no failure)" : "step " + std::to_string(c.failingStep));
        EXPECT_EQ(ran, c.ran);
        EXPECT_EQ(committed, c.committed);
    }
}

TEST(RunCommitSequence, AnEmptyStepFailsAtItsOwnPlace) {
    const std::function<void()> nothing;
    int acted = 0;
    bool committed = false;
    EXPECT_THROW(runCommitSequence([] {}, nothing, [&] { ++acted; }, committed), std::bad_function_call);
    EXPECT_FALSE(committed);
    EXPECT_EQ(acted, 0);
    EXPECT_THROW(runCommitSequence([] {}, [] {}, nothing, committed), std::bad_function_call);
    EXPECT_TRUE(committed);
}

}  // namespace
}  // namespace quorvel
