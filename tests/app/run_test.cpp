#include "app/run.hpp"
#include "app/result_file.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

// Records which mode ran; `failWith` makes the selected mode fail.
struct RecordingModes final : RunModes {
    std::vector<std::string> calls;
    std::string failWith;
    bool failWithLibraryError = false;

    void record(std::string call) {
        calls.push_back(std::move(call));
        if (failWithLibraryError) [[maybe_unused]]
            auto parsed = nlohmann::json::parse("<html>");
        if (!failWith.empty()) throw UserError(failWith);
    }
    void healthCheck() override { record("health-check"); }
    void prepare(bool update) override { record(update ? "update-only" : "install-only"); }
    void selfTest() override { record("self-test"); }
    void steamCheck() override { record("steam-check"); }
    void inspect() override { record("inspect"); }
    void registerTestProtocol() override { record("register-test-protocol"); }
    void uninstall(bool quiet, const UninstallHandOff* handOff) override {
        std::string call = quiet ? "uninstall-quiet" : "uninstall";
        if (handOff) call += ":" + std::to_string(handOff->pid) + ":" + toNarrow(handOff->installRoot.wstring());
        record(call);
    }
    void join(const std::string& ticket, const std::wstring* link) override {
        record("join:" + ticket + (link ? ":" + toNarrow(*link) : ":(none)"));
    }
};

const std::wstring kProgram = L"C:\\Users\\p\\Downloads\\TXQNativeConnector.exe";
const std::string kTicket(43, 'a');
const std::wstring kRunLink = L"txqjoin://enter/?ticket=" + std::wstring(43, L'a');

TEST(Run, SelectsOneModeFromElementOne) {
    struct Case {
        Arguments args;
        std::string call;
    };
    const Case cases[] = {
        {{kProgram, L"--health-check"}, "health-check"},
        {{kProgram, L"--install-only"}, "install-only"},
        {{kProgram, L"--update-only"}, "update-only"},
        {{kProgram, L"--self-test"}, "self-test"},
        {{kProgram, L"--steam-check"}, "steam-check"},
        {{kProgram, L"--inspect"}, "inspect"},
        {{kProgram, L"--register-test-protocol"}, "register-test-protocol"},
        {{kProgram, L"--uninstall"}, "uninstall"},
        {{kProgram, L"--uninstall", L"--quiet"}, "uninstall-quiet"},
        {{kProgram, L"--uninstall-hand-off", L"4294967295", L"C:\\U\\TXQConnectorNative"},
         "uninstall:4294967295:C:\\U\\TXQConnectorNative"},
        {{kProgram, L"--uninstall-hand-off", L"17", L"C:\\U\\TXQConnectorNative", L"--quiet"},
         "uninstall-quiet:17:C:\\U\\TXQConnectorNative"},
        {{kProgram, kRunLink}, "join:" + kTicket + ":" + toNarrow(kRunLink)},
        {{kProgram}, "join::(none)"},
    };
    for (const Case& c : cases) {
        RecordingModes modes;
        run(c.args, modes);
        EXPECT_EQ(modes.calls, std::vector<std::string>{c.call});
    }
}

TEST(Run, OptionsAreExactAndOnlyAlone) {
    const Arguments asLinks[] = {
        {kProgram, L"--HEALTH-CHECK"},
        {kProgram, L"--inspect=1"},
        {kProgram, L"-inspect"},
        {kProgram, L" --inspect"},
    };
    for (const Arguments& args : asLinks) {
        RecordingModes modes;
        EXPECT_EQ(testing::messageOf([&] { run(args, modes); }), "连接链接无效，请使用大厅生成的链接")
            << toNarrow(args[1]);
        EXPECT_TRUE(modes.calls.empty());
    }

    const Arguments tooMany[] = {
        {kProgram, L"--health-check", L"--inspect"},
        {kProgram, L"--health-check", L"--quiet"},
        {kProgram, L"--uninstall", L"--QUIET"},
        {kProgram, L"--uninstall", L"--quiet", L"--quiet"},
        {kProgram, L"--quiet", L"--uninstall"},
        {kProgram, kRunLink, kRunLink},
        {kProgram, L"", L"", L""},
    };
    for (const Arguments& args : tooMany) {
        RecordingModes modes;
        EXPECT_EQ(testing::messageOf([&] { run(args, modes); }), "只接受一个大厅连接链接");
        EXPECT_TRUE(modes.calls.empty());
    }
}

TEST(Run, TheHandOffTakesOnlyAStrictProcessIdAndARoot) {
    const Arguments refused[] = {
        {kProgram, L"--uninstall-hand-off"},
        {kProgram, L"--uninstall-hand-off", L"17"},
        {kProgram, L"--uninstall-hand-off", L"0", L"C:\\r"},
        {kProgram, L"--uninstall-hand-off", L"-17", L"C:\\r"},
        {kProgram, L"--uninstall-hand-off", L"+17", L"C:\\r"},
        {kProgram, L"--uninstall-hand-off", L" 17", L"C:\\r"},
        {kProgram, L"--uninstall-hand-off", L"4294967296", L"C:\\r"},
        {kProgram, L"--uninstall-hand-off", L"99999999999", L"C:\\r"},
        {kProgram, L"--uninstall-hand-off", L"17", L""},
        {kProgram, L"--uninstall-hand-off", L"17", L"C:\\r", L"--loud"},
        {kProgram, L"--uninstall-hand-off", L"17", L"C:\\r", L"--quiet", L"x"},
    };
    for (const Arguments& args : refused) {
        RecordingModes modes;
        EXPECT_EQ(testing::messageOf([&] { run(args, modes); }), "卸载参数无效") << args.size();
        EXPECT_TRUE(modes.calls.empty());
    }
}

class RunProgramTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::FakeLocations locations;
    testing::RecordingDesktop desktop;
    RecordingModes modes;

    void SetUp() override { locations.module = dir / "TXQNativeConnector.exe"; }
    std::filesystem::path errorFile() const { return dir / "native-check-error.json"; }
};

TEST_F(RunProgramTest, SuccessExitsZeroAndReportsNothing) {
    EXPECT_EQ(runProgram({kProgram, L"--health-check"}, modes, locations, desktop), 0);
    EXPECT_EQ(runProgram({kProgram}, modes, locations, desktop), 0);
    EXPECT_TRUE(desktop.errors.empty());
    EXPECT_FALSE(std::filesystem::exists(errorFile()));
}

TEST_F(RunProgramTest, ErrorFileOptionsWriteTheErrorFile) {
    modes.failWith = "未找到 Steam，请先安装并运行 Steam";
    for (const wchar_t* option :
         {L"--self-test", L"--inspect", L"--health-check", L"--install-only", L"--update-only", L"--steam-check"}) {
        SCOPED_TRACE(toNarrow(option));
        std::filesystem::remove(errorFile());
        EXPECT_EQ(runProgram({kProgram, option}, modes, locations, desktop), 1);
        EXPECT_EQ(testing::readFile(errorFile()), "{\r\n  \"error\": \"未找到 Steam，请先安装并运行 Steam\"\r\n}");
    }
    EXPECT_TRUE(desktop.errors.empty());
}

TEST_F(RunProgramTest, OtherFailuresShowAMessageBox) {
    modes.failWith = "无法注册测试协议";
    EXPECT_EQ(runProgram({kProgram, L"--register-test-protocol"}, modes, locations, desktop), 1);
    EXPECT_EQ(runProgram({kProgram, L"txqjoin://bad"}, modes, locations, desktop), 1);
    EXPECT_EQ(runProgram({kProgram, L"--health-check", L"x"}, modes, locations, desktop), 1);
    EXPECT_EQ(runProgram({kProgram, L"--Inspect"}, modes, locations, desktop), 1);
    EXPECT_EQ(runProgram({kProgram, L"--uninstall", L"--quiet"}, modes, locations, desktop), 1);
    EXPECT_EQ(runProgram({kProgram, L"--uninstall-hand-off", L"1", L"C:\\r"}, modes, locations, desktop), 1);
    const std::vector<std::wstring> expected = {
        toWide("无法注册测试协议"), toWide("连接链接无效，请使用大厅生成的链接"), toWide("只接受一个大厅连接链接"),
        toWide("连接链接无效，请使用大厅生成的链接"), toWide("无法注册测试协议"), toWide("无法注册测试协议")};
    EXPECT_EQ(desktop.errors, expected);
    EXPECT_FALSE(std::filesystem::exists(errorFile()));
    EXPECT_EQ(modes.calls,
              (std::vector<std::string>{"register-test-protocol", "uninstall-quiet", "uninstall:1:C:\\r"}));
}

TEST_F(RunProgramTest, LibraryErrorsAreReportedLikeTheSharedError) {
    modes.failWithLibraryError = true;
    EXPECT_EQ(runProgram({kProgram, L"--inspect"}, modes, locations, desktop), 1);
    const std::string file = testing::readFile(errorFile());
    EXPECT_NE(file.find("parse error"), std::string::npos) << file;

    EXPECT_EQ(runProgram({kProgram, kRunLink}, modes, locations, desktop), 1);
    ASSERT_EQ(desktop.errors.size(), 1u);
    EXPECT_NE(toNarrow(desktop.errors[0]).find("parse error"), std::string::npos);
}

TEST_F(RunProgramTest, MessagesWithIllFormedBytesStillReachThePlayer) {
    modes.failWith = "bad \xFF byte";
    EXPECT_EQ(runProgram({kProgram, kRunLink}, modes, locations, desktop), 1);
    EXPECT_EQ(runProgram({kProgram, L"--inspect"}, modes, locations, desktop), 1);
    ASSERT_EQ(desktop.errors.size(), 1u);
    EXPECT_EQ(toNarrow(desktop.errors[0]), "bad \xEF\xBF\xBD byte");
    EXPECT_EQ(testing::readFile(errorFile()), "{\r\n  \"error\": \"bad \xEF\xBF\xBD byte\"\r\n}");
}

TEST_F(RunProgramTest, NoModulePathStillExitsOne) {
    modes.failWith = "boom";
    locations.fails = true;
    EXPECT_EQ(runProgram({kProgram, L"--self-test"}, modes, locations, desktop), 1);
    EXPECT_TRUE(desktop.errors.empty());
}

TEST(ResultFile, ExactBytes) {
    const nlohmann::json report = {
        {"version", "20260920-native-v6"},
        {"passed", 66},
        {"build", 2026092001ULL},
        {"networkOrGameActions", false},
        {"dotaRoot", "D:\\Steam\\steamapps\\common\\dota 2 beta"},
        {"clients", {{{"pid", 4242U}, {"consolePort", -1}, {"toolsMode", true}}}},
        {"empty", nlohmann::json::array()},
        {"note", "连接\n\"quoted\""},
        {"Zeta", 0.5},
    };
    const std::string expected =
        "{\r\n"
        "  \"Zeta\": 0.5,\r\n"
        "  \"build\": 2026092001,\r\n"
        "  \"clients\": [\r\n"
        "    {\r\n"
        "      \"consolePort\": -1,\r\n"
        "      \"pid\": 4242,\r\n"
        "      \"toolsMode\": true\r\n"
        "    }\r\n"
        "  ],\r\n"
        "  \"dotaRoot\": \"D:\\\\Steam\\\\steamapps\\\\common\\\\dota 2 beta\",\r\n"
        "  \"empty\": [],\r\n"
        "  \"networkOrGameActions\": false,\r\n"
        "  \"note\": \"连接\\n\\\"quoted\\\"\",\r\n"
        "  \"passed\": 66,\r\n"
        "  \"version\": \"20260920-native-v6\"\r\n"
        "}";
    EXPECT_EQ(serializeResultFile(report), expected);

    testing::TempDir dir;
    testing::FakeLocations locations;
    locations.module = dir / "sub" / "TXQNativeConnector.exe";
    std::filesystem::create_directories(dir / "sub");
    testing::writeFile(dir / "sub" / "native-self-test.json", std::string(5000, 'o'));  // truncated, not appended
    writeResultFile("native-self-test.json", report, locations);
    EXPECT_EQ(testing::readFile(dir / "sub" / "native-self-test.json"), expected);
}

TEST(ResultFile, UnopenableFileIsNotReported) {
    testing::TempDir dir;
    testing::FakeLocations locations;
    locations.module = dir / "missing-folder" / "TXQNativeConnector.exe";
    EXPECT_NO_THROW(writeResultFile("native-inspect.json", {{"a", 1}}, locations));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}

}  // namespace
}  // namespace quorvel
