// --steam-check of the exe, started as Windows starts it, against Steam folders named in the
// prefix's own registry.
#include "common/text.hpp"
#include "launch/steam_engine.hpp"
#include "stand_in_steam_client_pin.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <sstream>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using testing::ChildOutcome;

class SteamCheckExe : public ::testing::Test {
protected:
    testing::TempDir dir;
    fs::path exe;
    fs::path steam;

    void install(const fs::path& build) {
        exe = dir / "TXQNativeConnector.exe";
        fs::copy_file(build, exe);
        steam = dir / L"Steam 客户端";
        fs::create_directories(steam);
    }

    ChildOutcome steamCheck() { return testing::runChild(exe, L"--steam-check", dir.path()); }

    std::string errorMessage() const {
        return nlohmann::json::parse(testing::readFile(dir / "native-check-error.json")).at("error");
    }

    std::vector<std::string> standInCalls() const {
        const fs::path log = steam / "steamclient64-calls.txt";
        std::vector<std::string> lines;
        if (!fs::exists(log)) return lines;
        std::istringstream text(testing::readFile(log));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(SteamCheckExe, TheShippedBuildWritesTheFailureForAnyLibraryButThePinnedOne) {
    install(testing::buildFolder() / "bin" / "TXQNativeConnector.exe");
    const testing::OutsideWorldLock lock;
    const testing::PrefixSteamRegistration steamPath(steam.wstring());
    const fs::path library = steam / "steamclient64.dll";
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::function<void(const std::string&)> expectMessage;
    };
    const Case cases[] = {
        {"no library", [] {},
         [](const std::string& message) {
             // The file system's own error, naming the library's path.
             EXPECT_NE(message.find("steamclient64.dll"), std::string::npos);
             EXPECT_NE(message.find(toNarrow(L"Steam 客户端")), std::string::npos);
         }},
        {"empty library", [&] { testing::writeFile(library, ""); },
         [](const std::string& message) { EXPECT_EQ(message, kSteamClientSizeAbnormal); }},
        {"another library", [&] { fs::copy_file(testing::buildFolder() / "stand-ins" / "steamclient64.dll", library); },
         [](const std::string& message) { EXPECT_EQ(message, kSteamVersionUnsupported); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(library);
        fs::remove(dir / "native-check-error.json");
        c.arrange();
        const ChildOutcome outcome = steamCheck();
        ASSERT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.exitCode, 1u);
        EXPECT_TRUE(outcome.boxes.empty());
        c.expectMessage(errorMessage());
        EXPECT_FALSE(fs::exists(dir / "native-steam-check.json"));
        EXPECT_TRUE(standInCalls().empty());  // never loaded
    }
}

TEST_F(SteamCheckExe, AStandInBuildAcceptsTheStandInAndOnlyChecks) {
    install(testing::buildFolder() / "stand-ins" / "TXQNativeConnector-standin.exe");
    fs::copy_file(testing::buildFolder() / "stand-ins" / "steamclient64.dll", steam / "steamclient64.dll");
    const testing::OutsideWorldLock lock;
    const testing::PrefixSteamRegistration steamPath(steam.wstring());

    const ChildOutcome outcome = steamCheck();
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_FALSE(fs::exists(dir / "native-check-error.json"));
    EXPECT_EQ(testing::readFile(dir / "native-steam-check.json"),
              "{\r\n  \"compatible\": true,\r\n  \"dllSha256\": \"" +
                  std::string(config::kStandInSteamClientPin.digest) + "\",\r\n  \"notificationSent\": false\r\n}");
    // Opened and closed again; no connect request.
    EXPECT_EQ(standInCalls(),
              (std::vector<std::string>{
                  "attach SteamAppId=570 SteamGameId=570", "CreateInterface CLIENTENGINE_INTERFACE_VERSION005 null",
                  "engine 0", "engine 3 (17)", "engine 13 (23, 17)", "engine 6 (17, 23)", "engine 1 (17)", "detach"}));
}

}  // namespace
}  // namespace quorvel
