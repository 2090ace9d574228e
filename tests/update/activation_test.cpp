#include "update/activation.hpp"

#include "support/fake_install.hpp"
#include "support/message_of.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace quorvel {
namespace {

using testing::messageOf;

using Events = std::vector<std::string>;

TEST(HealthCheck, StartsTheProgramInItsFolderAndWaitsTenSeconds) {
    testing::FakeProcesses processes;
    processes.script = [](const ProgramStart&) { return testing::ProcessScript{}; };
    const std::filesystem::path exe = std::filesystem::path("versions") / "2026092002" / "TXQNativeConnector.exe";
    healthCheck(processes, exe);
    ASSERT_EQ(processes.starts.size(), 1u);
    EXPECT_EQ(processes.starts[0].program, exe);
    EXPECT_EQ(processes.starts[0].commandLine, L"\"" + exe.wstring() + L"\" --health-check");
    EXPECT_EQ(processes.starts[0].currentDirectory, exe.parent_path());
    EXPECT_EQ(processes.events,
              (Events{"start TXQNativeConnector.exe", "wait 10000", "close TXQNativeConnector.exe"}));
    EXPECT_EQ(processes.handlesOpen, 0);
}

TEST(HealthCheck, EachFailureHasItsMessageAndClosesTheChild) {
    const struct {
        bool startFails;
        testing::ProcessScript script;
        std::string message;
        Events events;
    } cases[] = {
        {true, {}, "新版助手无法启动", {"start a.exe"}},
        {false, {.ends = false}, "新版助手健康检查超时", {"start a.exe", "wait 10000", "terminate 1", "close a.exe"}},
        {false, {.exitCode = 1}, "新版助手健康检查失败", {"start a.exe", "wait 10000", "close a.exe"}},
        {false, {.exitCode = std::nullopt}, "新版助手健康检查失败", {"start a.exe", "wait 10000", "close a.exe"}},
    };
    for (const auto& c : cases) {
        testing::FakeProcesses processes;
        processes.startFails = c.startFails;
        processes.script = [&](const ProgramStart&) { return c.script; };
        EXPECT_EQ(messageOf([&] { healthCheck(processes, "a.exe"); }), c.message);
        EXPECT_EQ(processes.events, c.events);
        EXPECT_EQ(processes.handlesOpen, 0);
    }
}

struct Staging : ::testing::Test {
    testing::InstallWorld world;
    const std::string image = testing::fakeImage(70'000, 'n');
    const Release release = testing::releaseOf(2026092002, image);
};

TEST_F(Staging, WritesAVerifiedImageAndHealthChecksIt) {
    EXPECT_EQ(stageRelease(world.system, release, image), release);
    EXPECT_EQ(testing::readFile(world.versionExe(2026092002)), image);
    EXPECT_FALSE(std::filesystem::exists(world.versionExe(2026092002).string() + ".part"));
    ASSERT_EQ(world.processes.starts.size(), 1u);
    EXPECT_EQ(world.processes.starts[0].program, world.versionExe(2026092002));
}

TEST_F(Staging, APresentIntactCopyIsNotRewrittenButStillHealthChecked) {
    testing::writeFile(world.versionExe(2026092002), image);
    const auto before = std::filesystem::last_write_time(world.versionExe(2026092002));
    stageRelease(world.system, release, image);
    EXPECT_TRUE(world.files.written.empty());
    EXPECT_EQ(std::filesystem::last_write_time(world.versionExe(2026092002)), before);
    EXPECT_EQ(world.processes.starts.size(), 1u);
}

TEST_F(Staging, APresentDamagedCopyFailsAndStaysAsItWas) {
    std::string damaged = image;
    damaged[500] = static_cast<char>(damaged[500] ^ 0x40);
    testing::writeFile(world.versionExe(2026092002), damaged);
    EXPECT_EQ(messageOf([&] { stageRelease(world.system, release, image); }), "新版文件校验失败，继续使用原版");
    EXPECT_EQ(testing::readFile(world.versionExe(2026092002)), damaged);
    EXPECT_TRUE(world.processes.starts.empty());
}

TEST_F(Staging, AnUnhealthyCopyStaysOnDiskAndFails) {
    world.processes.script = [](const ProgramStart&) { return testing::ProcessScript{.exitCode = 1}; };
    EXPECT_EQ(messageOf([&] { stageRelease(world.system, release, image); }), "新版助手健康检查失败");
    EXPECT_EQ(testing::readFile(world.versionExe(2026092002)), image);
    EXPECT_TRUE(world.registry.values.empty());
}

TEST_F(Staging, ActivateRegistersTheVersionExecutableAndWritesActiveJson) {
    stageRelease(world.system, release, image);
    activate(world.system, release);
    EXPECT_EQ(world.registry.values[kProtocolCommandKey][L""],
              L"\"" + world.versionExe(2026092002).wstring() + L"\" \"%1\"");
    const std::wstring exe = L"\"" + world.versionExe(2026092002).wstring() + L"\"";
    EXPECT_EQ(world.registry.values[kUninstallKey], (std::map<std::wstring, std::wstring>{
                                                        {L"DisplayName", L"Quorvel"},
                                                        {L"DisplayVersion", L"2026.920.2.0"},
                                                        {L"Publisher", L"Quorvel"},
                                                        {L"DisplayIcon", world.versionExe(2026092002).wstring()},
                                                        {L"InstallLocation", world.root().wstring()},
                                                        {L"UninstallString", exe + L" --uninstall"},
                                                        {L"QuietUninstallString", exe + L" --uninstall --quiet"},
                                                    }));
    EXPECT_EQ(world.registry.dwords[kUninstallKey],
              (std::map<std::wstring, std::uint32_t>{{L"NoModify", 1}, {L"NoRepair", 1}, {L"EstimatedSize", 69}}));
    EXPECT_EQ(world.registry.openKeys, 0);
    EXPECT_EQ(testing::readFile(world.root() / "active.json"),
              "{\n  \"build\": 2026092002,\n  \"bytes\": 70000,\n  \"platform\": \"windows-x64\",\n  \"schema\": 1,\n"
              "  \"sha256\": \"" +
                  release.sha256 + "\"\n}");

    // A copy damaged since staging is never activated.
    testing::writeFile(world.versionExe(2026092002), testing::fakeImage(70'000, 'x'));
    world.registry.values.clear();
    EXPECT_EQ(messageOf([&] { activate(world.system, release); }), "新版文件校验失败，继续使用原版");
    EXPECT_TRUE(world.registry.values.empty());
}

TEST_F(Staging, ApplyManifestDownloadsOnlyANewerBuild) {
    const Release current = testing::releaseOf(2026092002, image);
    const auto manifestOf = [](std::uint64_t build, const std::string& bytes) {
        return testing::releaseOf(build, bytes);
    };
    int downloads = 0;
    const ReleaseDownload download = [&](const Release&) {
        ++downloads;
        return std::string();
    };
    EXPECT_EQ(applyManifest(world.system, current, releaseToJson(manifestOf(2026092002, image)), download), current);
    EXPECT_EQ(applyManifest(world.system, current, releaseToJson(manifestOf(2026092001, image)), download), current);
    EXPECT_EQ(downloads, 0);

    // One build newer, but the download comes back empty: one call, nothing written.
    EXPECT_EQ(messageOf([&] {
                  applyManifest(world.system, current, releaseToJson(manifestOf(2026092003, image)), download);
              }),
              "新版文件校验失败，继续使用原版");
    EXPECT_EQ(downloads, 1);
    EXPECT_TRUE(world.files.written.empty());
    EXPECT_FALSE(std::filesystem::exists(world.root()));

    const std::string next = testing::fakeImage(80'000, 'q');
    const Release newer = testing::releaseOf(2026092003, next);
    EXPECT_EQ(applyManifest(world.system, current, releaseToJson(newer),
                            [&](const Release& asked) {
                                EXPECT_EQ(asked, newer);
                                return next;
                            }),
              newer);
    EXPECT_EQ(testing::readFile(world.versionExe(2026092003)), next);
    EXPECT_THROW(applyManifest(world.system, current, releaseToJson(testing::releaseOf(2026092004, next)), nullptr),
                 std::bad_function_call);
}

TEST(UpdateLog, WritesOneCompactLineWithCrLf) {
    testing::InstallWorld world;
    world.clock.time = 1'790'000'000.123456;
    appendUpdateLog(world.system, "update_skipped: 更新服务返回异常");
    appendUpdateLog(world.system, "up_to_date");
    EXPECT_EQ(testing::readFile(world.root() / "update.log"),
              "{\"build\":2026092001,\"event\":\"update_skipped: 更新服务返回异常\",\"time\":1790000000.123456}\r\n"
              "{\"build\":2026092001,\"event\":\"up_to_date\",\"time\":1790000000.123456}\r\n");
}

TEST(UpdateLog, RotatesOnlyAboveHalfAMebibyte) {
    testing::InstallWorld world;
    world.ticks.now = 123'456;
    const std::filesystem::path log = world.root() / "update.log";
    const std::string full(524'288, 'x');
    testing::writeFile(log, full);
    appendUpdateLog(world.system, "up_to_date");
    EXPECT_EQ(testing::readFile(log),
              full + "{\"build\":2026092001,\"event\":\"up_to_date\",\"time\":1800000000.0}\r\n");
    EXPECT_FALSE(std::filesystem::exists(world.root() / "update-123456.log"));

    testing::writeFile(log, full + "y");
    testing::writeFile(world.root() / "update-123456.log", "older copy of the same name");
    appendUpdateLog(world.system, "update_activated");
    EXPECT_EQ(testing::readFile(world.root() / "update-123456.log"), full + "y");
    ASSERT_EQ(world.logLines().size(), 1u);
    EXPECT_NE(world.logLines()[0].find("\"event\":\"update_activated\""), std::string::npos);
}

TEST(UpdateLog, MalformedTextInAnEventDoesNotStopTheLine) {
    testing::InstallWorld world;
    world.clock.time = 2.5;
    appendUpdateLog(world.system, "update_skipped: last read: '\xff'");
    EXPECT_EQ(world.logLines(),
              std::vector<std::string>{"{\"build\":2026092001,\"event\":\"update_skipped: last read: '\xEF\xBF\xBD'\","
                                       "\"time\":2.5}"});
}

// A long event text is cut to 1,024 bytes, the closing "…" included, at a character boundary.
TEST(UpdateLog, ALongEventIsCutAtACharacterBoundaryAndStaysValidJson) {
    const std::string ellipsis = "\u2026";
    const std::string han = "\u8FDE";        // 3 bytes
    const std::string emoji = "\U0001F600";  // 4 bytes
    const auto repeat = [](const std::string& text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += text;
        return out;
    };
    const struct {
        std::string event;
        std::string logged;
    } cases[] = {
        {std::string(1'024, 'x'), std::string(1'024, 'x')},
        {std::string(1'025, 'x'), std::string(1'021, 'x') + ellipsis},
        {std::string(16'000, 'x'), std::string(1'021, 'x') + ellipsis},
        // 1,021 bytes end inside the 340th character: it goes whole.
        {"ab" + repeat(han, 400), "ab" + repeat(han, 339) + ellipsis},
        {std::string(1'019, 'x') + emoji + "tail", std::string(1'019, 'x') + ellipsis},
        {std::string(1'016, 'x') + emoji + "tail", std::string(1'016, 'x') + emoji + "tail"},  // 1,024 bytes
        // An ill-formed byte is replaced before the cut, so its three bytes count.
        {"\xff" + std::string(1'024, 'x'), "\xEF\xBF\xBD" + std::string(1'018, 'x') + ellipsis},
    };
    for (const auto& c : cases) {
        testing::InstallWorld world;
        appendUpdateLog(world.system, c.event);
        ASSERT_EQ(world.logLines().size(), 1u);
        const nlohmann::json line = nlohmann::json::parse(world.logLines()[0]);  // strict: valid UTF-8
        EXPECT_EQ(line.at("event"), c.logged) << c.event.size();
        EXPECT_LE(c.logged.size(), kMaxLoggedEventBytes);
    }
}

}  // namespace
}  // namespace quorvel
