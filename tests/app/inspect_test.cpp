// The --inspect report and mode over a fake process table and real folders.
#include "app/diagnostics.hpp"
#include "app/result_file.hpp"
#include "clients/client_census.hpp"
#include "common/text.hpp"
#include "game/steam_discovery.hpp"
#include "platform/files.hpp"
#include "support/fake_process_table.hpp"
#include "support/fake_steam.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::messageOf;

testing::FakeProcess running(std::uint32_t pid, std::wstring commandLine, std::wstring exeName = L"dota2.exe") {
    testing::FakeProcess process;
    process.pid = pid;
    process.exeName = std::move(exeName);
    process.commandLine = std::move(commandLine);
    return process;
}

DotaProcess client(std::uint32_t pid, std::vector<std::wstring> arguments) {
    return DotaProcess{pid, 1, L"C:\\Dota\\game\\bin\\win64\\dota2.exe", std::move(arguments)};
}

TEST(InspectReport, OneEntryPerClientInCensusOrder) {
    const std::vector<DotaProcess> clients = {
        client(4'294'967'295u, {L"dota2.exe", L"-TOOLS", L"-addon", L"dotatxq", L"-vconport", L"01024"}),
        client(7, {L"dota2.exe", L"+connect", L"[A:1:123:45]", L"-vconport"}),
        client(9, {L"dota2.exe", L"-toolsx", L"-vconport", L"65535"}),
    };
    const nlohmann::json report = inspectReport(fs::path(L"C:\\Steam\\steamapps\\common\\dota 2 beta"), clients);
    EXPECT_EQ(serializeResultFile(report),
              "{\r\n"
              "  \"clients\": [\r\n"
              "    {\r\n"
              "      \"consolePort\": 1024,\r\n"
              "      \"pid\": 4294967295,\r\n"
              "      \"toolsMode\": true\r\n"
              "    },\r\n"
              "    {\r\n"
              "      \"consolePort\": 29000,\r\n"
              "      \"pid\": 7,\r\n"
              "      \"toolsMode\": false\r\n"
              "    },\r\n"
              "    {\r\n"
              "      \"consolePort\": 65535,\r\n"
              "      \"pid\": 9,\r\n"
              "      \"toolsMode\": false\r\n"
              "    }\r\n"
              "  ],\r\n"
              "  \"dotaRoot\": \"C:\\\\Steam\\\\steamapps\\\\common\\\\dota 2 beta\"\r\n"
              "}");
    EXPECT_TRUE(report["clients"][0]["consolePort"].is_number_integer());
    EXPECT_TRUE(report["clients"][0]["pid"].is_number_unsigned());

    const nlohmann::json none = inspectReport(fs::path(L"D:\\Games\\dota 2 beta"), {});
    EXPECT_EQ(none["clients"], nlohmann::json::array());
    EXPECT_EQ(none["dotaRoot"], "D:\\Games\\dota 2 beta");
}

TEST(InspectReport, AnUnusableConsolePortFailsTheReport) {
    const std::vector<DotaProcess> clients = {client(7, {L"dota2.exe"}),
                                              client(8, {L"dota2.exe", L"-vconport", L"0x7148"})};
    EXPECT_EQ(messageOf([&] { inspectReport(fs::path(L"C:\\Dota"), clients); }), kConsolePortInvalid);
}

class InspectMode : public ::testing::Test {
protected:
    void SetUp() override {
        locations.module = dir / "bin" / "TXQNativeConnector.exe";
        fs::create_directories(locations.module.parent_path());
        testing::writeFile(
            dir / "Steam" / "steamapps" / "common" / "dota 2 beta" / "game" / "bin" / "win64" / "dota2.exe", "MZ");
        registry.path = (dir / "Steam").wstring();
    }

    fs::path resultFile() const { return locations.module.parent_path() / "native-inspect.json"; }

    testing::TempDir dir;
    testing::FakeLocations locations;
    testing::FakeSteamRegistry registry;
    LocalFiles files;
    testing::FakeProcessTable processes;
};

TEST_F(InspectMode, WritesTheRootAndTheClientsBesideTheExecutable) {
    processes.add(running(40, L"explorer.exe", L"explorer.exe"));
    processes.add(running(41, L"dota2.exe -tools -vconport 29001", L"DOTA2.EXE"));
    processes.add(running(42, L"dota2.exe -dedicated -vconport 40000"));
    processes.add(running(43, L"\"C:\\Program Files\\dota2.exe\" +connect [A:1:1:2]"));

    runInspect(registry, files, processes, locations);

    const fs::path root = files.canonical(dir / "Steam" / "steamapps" / "common" / "dota 2 beta");
    const nlohmann::json expected = {{"clients",
                                      {{{"consolePort", 29001}, {"pid", 41}, {"toolsMode", true}},
                                       {{"consolePort", 29000}, {"pid", 43}, {"toolsMode", false}}}},
                                     {"dotaRoot", toNarrow(root.wstring())}};
    EXPECT_EQ(testing::readFile(resultFile()), serializeResultFile(expected));
    EXPECT_EQ(processes.openNow(), 0);
}

TEST_F(InspectMode, AFailureWritesNoReportAndLeavesAnOlderOne) {
    testing::writeFile(resultFile(), "older");
    const std::wstring steam = *registry.path;
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* message;
    };
    const Case cases[] = {
        {"no Steam", [&] { registry.path.reset(); }, kSteamNotFound},
        {"no Dota", [&] { registry.path = (dir / "Elsewhere").wstring(); }, kDotaNotFound},
        {"no snapshot", [&] { processes.snapshotFails = true; }, kCensusFailed},
        {"a client that cannot be read", [&] { processes.add(running(5, L"dota2.exe")).openFails = true; },
         kProcessAccessDenied},
        {"an unusable console port", [&] { processes.add(running(6, L"dota2.exe -vconport 1023")); },
         kConsolePortInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        registry.path = steam;
        processes.processes.clear();
        processes.snapshotFails = false;
        c.arrange();
        EXPECT_EQ(messageOf([&] { runInspect(registry, files, processes, locations); }), c.message);
        EXPECT_EQ(testing::readFile(resultFile()), "older");
    }
}

}  // namespace
}  // namespace quorvel
