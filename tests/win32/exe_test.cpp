// The shipped TXQNativeConnector.exe, started as Windows starts it.
#include "app/result_file.hpp"
#include "common/text.hpp"
#include "platform/files.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "build_config.hpp"
#include <thread>

namespace quorvel {
namespace {

using testing::ChildOutcome;

class ExeTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    std::filesystem::path exe;

    void SetUp() override {
        // A copy in a folder of its own, as after a download: result files land beside it.
        exe = dir / "TXQNativeConnector.exe";
        std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", exe);
    }

    ChildOutcome start(const std::wstring& arguments) { return testing::runChild(exe, arguments, dir.path()); }

    std::vector<std::string> filesBesideExe() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename() != L"TXQNativeConnector.exe") names.push_back(entry.path().filename().string());
        }
        return names;
    }

    // The one error box the run showed; without a display Wine shows none and returns at once.
    void expectErrorBox(const ChildOutcome& outcome, const std::string& message) {
        if (!testing::haveDisplay()) {
            EXPECT_TRUE(outcome.boxes.empty());
            return;
        }
        ASSERT_EQ(outcome.boxes.size(), 1u);
        EXPECT_EQ(outcome.boxes[0].caption, L"Quorvel");
        EXPECT_EQ(toNarrow(outcome.boxes[0].text), message);
    }
};

TEST_F(ExeTest, HealthCheckExitsZeroAndWritesNothing) {
    const ChildOutcome outcome = start(L"--health-check");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_TRUE(filesBesideExe().empty());
}

TEST_F(ExeTest, SelfTestPassesAndWritesItsReportOnly) {
    const ChildOutcome outcome = start(L"--self-test");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(filesBesideExe(), std::vector<std::string>{"native-self-test.json"});
    EXPECT_EQ(testing::readFile(dir / "native-self-test.json"),
              "{\r\n  \"build\": 2026092001,\r\n  \"networkOrGameActions\": false,\r\n  \"passed\": 66,\r\n"
              "  \"version\": \"20260920-native-v6\"\r\n}");
}

TEST_F(ExeTest, RejectedStartsShowTheReasonAndExitOne) {
    struct Case {
        std::wstring arguments;
        const char* message;
    };
    const Case cases[] = {
        {L"a b c", "只接受一个大厅连接链接"},
        {L"--health-check --health-check", "只接受一个大厅连接链接"},
        {L"txqjoin://enter/?ticket=short", "连接链接无效，请使用大厅生成的链接"},
        {L"--HEALTH-CHECK", "连接链接无效，请使用大厅生成的链接"},
        {L"--inspect=1", "连接链接无效，请使用大厅生成的链接"},
    };
    // A child that showed a box ends two seconds after the box was answered (Wine waits for a
    // window manager that bare Xvfb lacks), so the starts run side by side.
    std::vector<ChildOutcome> outcomes(std::size(cases));
    std::vector<std::string> failures(std::size(cases));
    std::vector<std::thread> starts;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        starts.emplace_back([&, i] {
            try {
                outcomes[i] = start(cases[i].arguments);
            } catch (const std::exception& e) {
                failures[i] = e.what();
            }
        });
    }
    for (std::thread& running : starts) running.join();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(toNarrow(cases[i].arguments));
        ASSERT_EQ(failures[i], "");
        ASSERT_FALSE(outcomes[i].timedOut);
        EXPECT_EQ(outcomes[i].exitCode, 1u);
        expectErrorBox(outcomes[i], cases[i].message);
    }
    EXPECT_TRUE(filesBesideExe().empty());
}

TEST_F(ExeTest, ErrorFileOptionFailureGoesToTheErrorFileNotABox) {
    // No Steam in the test prefix, so the Steam check fails whatever it is asked.
    testing::OutsideWorldLock lock;
    testing::PrefixSteamRegistration noSteam(std::nullopt);
    const ChildOutcome outcome = start(L"--steam-check");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(filesBesideExe(), std::vector<std::string>{"native-check-error.json"});
    const std::string bytes = testing::readFile(dir / "native-check-error.json");
    const auto report = nlohmann::json::parse(bytes);
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report.size(), 1u);
    EXPECT_TRUE(report["error"].is_string());
    EXPECT_EQ(bytes.substr(0, 3), "{\r\n");
    EXPECT_EQ(bytes.back(), '}');
}

// --inspect reads the prefix's own registry and processes, as the exe sees them.
class InspectExeTest : public ExeTest {
protected:
    // A Steam folder whose library list names, in lower case, a library spelt otherwise on disk
    // (with a name beyond ASCII) that holds the game, its executable being the stand-in.
    void SetUp() override {
        ExeTest::SetUp();
        steam = world / "Steam";
        dotaRoot = world / L"游戏库" / "SteamApps" / "common" / "Dota 2 Beta";
        testing::installStandIn(dotaRoot);
        std::string library;
        for (const char c : toNarrow(lowerCopy((world / L"游戏库").wstring()))) {
            library += c;
            if (c == '\\') library += c;
        }
        testing::writeFile(steam / "steamapps" / "libraryfolders.vdf",
                           "\"libraryfolders\"\n{\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + library + "\"\n\t}\n}\n");
    }

    testing::OutsideWorldLock lock;
    testing::TempDir world;
    std::filesystem::path steam;
    std::filesystem::path dotaRoot;
};

TEST_F(InspectExeTest, WithoutSteamTheErrorFileSaysSo) {
    testing::PrefixSteamRegistration noSteam(std::nullopt);
    const ChildOutcome outcome = start(L"--inspect");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(filesBesideExe(), std::vector<std::string>{"native-check-error.json"});
    EXPECT_EQ(testing::readFile(dir / "native-check-error.json"),
              serializeResultFile({{"error", "未找到 Steam，请先安装并运行 Steam"}}));
}

TEST_F(InspectExeTest, WithNoClientRunningReportsTheRootAsTheFileSystemSpellsIt) {
    testing::PrefixSteamRegistration registered(steam.wstring());
    const ChildOutcome outcome = start(L"--inspect");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(filesBesideExe(), std::vector<std::string>{"native-inspect.json"});
    const std::wstring root = LocalFiles().canonical(dotaRoot).wstring();
    EXPECT_TRUE(root.ends_with(L"\\游戏库\\SteamApps\\common\\Dota 2 Beta")) << toNarrow(root);
    EXPECT_EQ(testing::readFile(dir / "native-inspect.json"),
              serializeResultFile({{"clients", nlohmann::json::array()}, {"dotaRoot", toNarrow(root)}}));
}

TEST_F(InspectExeTest, WithAClientRunning) {
    testing::PrefixSteamRegistration registered(steam.wstring());
    testing::StandInDota dota(L"-novid -tools -addon dotatxq -vconport 29001 --no-window --exit-after 60000",
                              dotaRoot / "game" / "bin" / "win64" / "dota2.exe");
    ASSERT_TRUE(dota.waitUntilReady());
    const ChildOutcome outcome = start(L"--inspect");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_TRUE(outcome.boxes.empty());
    if (config::kWineCommandLines || !testing::underWine()) {
        EXPECT_EQ(outcome.exitCode, 0u);
        const auto report = nlohmann::json::parse(testing::readFile(dir / "native-inspect.json"));
        EXPECT_EQ(report["clients"],
                  nlohmann::json::array({{{"consolePort", 29001}, {"pid", dota.pid()}, {"toolsMode", true}}}));
        return;
    }
    // The shipped reader under Wine: class 60 is missing, so the census cannot read the client.
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(filesBesideExe(), std::vector<std::string>{"native-check-error.json"});
    EXPECT_EQ(testing::readFile(dir / "native-check-error.json"),
              serializeResultFile({{"error", "无法读取 Dota 启动参数"}}));
}

}  // namespace
}  // namespace quorvel
