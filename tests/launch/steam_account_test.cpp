#include "launch/steam_account.hpp"
#include "common/error.hpp"
#include "support/fake_steam.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

constexpr const char* kLogIn = "请先在 Steam 登录游戏账号";
constexpr const char* kMismatch = "Steam 当前账号与大厅登录账号不同，请切换为同一个账号后重试。";

// The text `action` returns, or the message it fails with.
std::string outcome(const auto& action) {
    std::string value;
    const std::string failure = testing::messageOf([&] { value = action(); });
    return failure == "(no failure)" ? value : failure;
}

TEST(SteamAccount, ActiveSteamIdFromTheAccountNumber) {
    struct Case {
        std::optional<std::uint32_t> account;  // nothing: key or value missing, or a value of another type
        const char* expected;
    };
    const Case cases[] = {
        {std::nullopt, kLogIn},
        {0, kLogIn},
        {1, "76561197960265729"},
        {123456789, "76561198083722517"},
        {0x7FFFFFFF, "76561200107749375"},
        {0xFFFFFFFF, "76561202255233023"},
    };
    for (const Case& c : cases) {
        testing::FakeSteamRegistry registry;
        registry.account = c.account;
        EXPECT_EQ(outcome([&] { return activeSteamId(registry); }), c.expected);
    }
}

TEST(SteamAccount, CheckComparesTheTextExactly) {
    testing::FakeSteamRegistry registry;
    registry.account = 22202;
    const auto check = [&](const std::string& steamId) {
        return testing::messageOf([&] { checkSteamAccount(registry, steamId); });
    };
    EXPECT_EQ(check("76561197960287930"), "(no failure)");
    for (const char* other :
         {"76561197960287931", "076561197960287930", "76561197960287930 ", "+76561197960287930", ""}) {
        EXPECT_EQ(check(other), kMismatch) << other;
    }
    registry.account = 0;
    EXPECT_EQ(check("76561197960265728"), kLogIn);
    registry.account.reset();
    EXPECT_EQ(check("76561197960287930"), kLogIn);
}

TEST(SteamAccount, ReadsTheRegistryAfreshOnEveryCall) {
    testing::FakeSteamRegistry registry;
    registry.account = 22202;
    EXPECT_NO_THROW(checkSteamAccount(registry, "76561197960287930"));
    registry.account = 22203;  // another account logged in meanwhile
    EXPECT_THROW(checkSteamAccount(registry, "76561197960287930"), UserError);
    EXPECT_EQ(activeSteamId(registry), "76561197960287931");
    EXPECT_EQ(registry.activeUserReads, 3);
}

}  // namespace
}  // namespace quorvel
