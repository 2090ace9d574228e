#include "app/steam_check.hpp"

#include "support/fake_files.hpp"
#include "support/fake_steam.hpp"
#include "support/fake_steam_client.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

class SteamCheckTest : public ::testing::Test {
protected:
    testing::TempDir dir;
    testing::FakeLocations locations;
    testing::FakeSteamRegistry registry;
    testing::FakeFiles files;
    testing::FakeSteamClient steam;
    SteamEngineAccess access{registry, files, steam, steam, steam};

    void SetUp() override {
        locations.module = dir / "TXQNativeConnector.exe";
        std::filesystem::create_directories(dir / "Steam");
        testing::writeFile(dir / "Steam" / "steamclient64.dll", "MZ");
        registry.path = (dir / "Steam").wstring();
    }

    std::filesystem::path resultFile() const { return dir / "native-steam-check.json"; }
};

TEST_F(SteamCheckTest, WritesThePinsDigestAfterOpeningAndClosesWithoutSending) {
    const SteamClientPin pin = steam.pin();
    runSteamCheck(access, locations, pin);
    EXPECT_EQ(testing::readFile(resultFile()), "{\r\n  \"compatible\": true,\r\n  \"dllSha256\": \"" +
                                                   std::string(pin.digest) +
                                                   "\",\r\n  \"notificationSent\": false\r\n}");
    const std::vector<std::string> tail(steam.events.end() - 7, steam.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"engine 0", "engine 3 (17)", "engine 13 (23, 17)", "engine 6 (17, 23)",
                                              "engine 1 (17)", "free", "close"}));
}

TEST_F(SteamCheckTest, AFailedCheckWritesNoResultAndLeavesAnOlderOneAlone) {
    testing::writeFile(resultFile(), "older");
    const SteamClientPin pin = steam.pin();
    steam.user = 0;
    EXPECT_EQ(testing::messageOf([&] { runSteamCheck(access, locations, pin); }), kSteamUserFailed);
    EXPECT_EQ(testing::readFile(resultFile()), "older");
    EXPECT_EQ(steam.events.back(), "close");
}

}  // namespace
}  // namespace quorvel
