#include "launch/launch_arguments.hpp"

#include "clients/command_line.hpp"
#include "common/text.hpp"
#include "launch/commit_sequence.hpp"
#include "support/fake_program_starter.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>

namespace quorvel {
namespace {

using nlohmann::json;
using testing::messageOf;
using Strings = std::vector<std::wstring>;

TEST(QuoteArgument, QuotesEveryTextAndEscapesOnlyWhatTheSplitWouldEat) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"", L"\"\""},
        {L"a", L"\"a\""},
        {L"D:\\Program Files\\Steam\\steam.exe", L"\"D:\\Program Files\\Steam\\steam.exe\""},
        {L"a\\", L"\"a\\\\\""},                    // a trailing backslash is doubled before the closing quote
        {L"a\"b", L"\"a\\\"b\""},                  // one backslash before the inner quote
        {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},      // two backslashes and a quote: five backslashes
        {L"\\\\server\\x", L"\"\\\\server\\x\""},  // backslashes not before a quote stay as they are
        {L"[A:1:123:45]", L"\"[A:1:123:45]\""},
        {L"\t \u4e2d", L"\"\t \u4e2d\""},
    };
    for (const auto& [text, quoted] : cases) {
        EXPECT_EQ(quoteArgument(text), quoted) << toNarrow(text);
    }
}

// The platform's split (CommandLineToArgvW under Windows, our rules natively) gives back exactly
// what was quoted, after a leading word, for the texts the launch quotes and for generated ones.
TEST(QuoteArgument, SplitsBackIntoExactlyTheQuotedText) {
    std::vector<std::wstring> texts{L"D:\\Program Files\\Steam\\steam.exe", L"a\\", L"a\"b", L"", L"[A:1:123:45]"};
    static constexpr wchar_t kAlphabet[] = {L'\\', L'"', L' ', L'\t', L'a', L'Z', L'-', L'\u4e2d', L'\u00e9'};
    std::mt19937 random(20261210);
    for (int i = 0; i < 5000; ++i) {
        std::wstring text(random() % 14, L' ');
        for (wchar_t& c : text) c = kAlphabet[random() % std::size(kAlphabet)];
        texts.push_back(std::move(text));
    }
    for (const std::wstring& text : texts) {
        EXPECT_EQ(splitCommandLine(L"dummy " + quoteArgument(text)), (Strings{L"dummy", text})) << toNarrow(text);
    }
}

TEST(BuildCommandLine, QuotesTheProgramAndEachArgumentJoinedBySingleSpaces) {
    EXPECT_EQ(buildCommandLine("C:/Steam/steam.exe", {L"-applaunch", L"570", L"+connect", L"[A:1:123:45]"}),
              L"\"C:/Steam/steam.exe\" \"-applaunch\" \"570\" \"+connect\" \"[A:1:123:45]\"");
    EXPECT_EQ(buildCommandLine("p", {}), L"\"p\"");
    EXPECT_EQ(buildCommandLine("p", {L""}), L"\"p\" \"\"");
}

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
    testing::RecordingProgramStarter starter;
    const std::filesystem::path steam = "C:/Program Files (x86)/Steam/steam.exe";
    launchProgram(starter, steam, {L"-applaunch", L"570", L"+connect", L"[A:1:123:45]"});
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].program, steam);
    EXPECT_EQ(starter.starts[0].commandLine,
              L"\"C:/Program Files (x86)/Steam/steam.exe\" \"-applaunch\" \"570\" \"+connect\" \"[A:1:123:45]\"");
    EXPECT_EQ(starter.starts[0].currentDirectory, steam.parent_path());

    starter.succeeds = false;
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
