// The registry reads of Steam's values against a sandboxed HKEY_CURRENT_USER of the prefix.
#include "outside/steam_registry.hpp"
#include "platform/registry_win32.hpp"
#include "support/registry_sandbox_win32.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

constexpr const wchar_t* kSteamKey = L"Software\\Valve\\Steam";
constexpr const wchar_t* kActiveProcessKey = L"Software\\Valve\\Steam\\ActiveProcess";

class SteamRegistryTest : public ::testing::Test {
protected:
    testing::RegistrySandbox sandbox;
    Win32Registry platformRegistry;
    SteamRegistryReader registry{platformRegistry};
};

TEST_F(SteamRegistryTest, SteamPathIsReadAsStored) {
    EXPECT_EQ(registry.steamPath(), std::nullopt);  // no key
    sandbox.setString(kSteamKey, L"Other", L"x");
    EXPECT_EQ(registry.steamPath(), std::nullopt);  // no value

    sandbox.setString(kSteamKey, L"SteamPath", L"c:/program files (x86)/steam");
    EXPECT_EQ(registry.steamPath(), L"c:/program files (x86)/steam");
    sandbox.setString(kSteamKey, L"SteamPath", L"D:\\游戏\\Steam");
    EXPECT_EQ(registry.steamPath(), L"D:\\游戏\\Steam");
}

TEST_F(SteamRegistryTest, SteamPathOfAnotherTypeIsNotRead) {
    sandbox.setDword(kSteamKey, L"SteamPath", 7);
    EXPECT_EQ(registry.steamPath(), std::nullopt);
    const wchar_t multi[] = L"C:\\Steam\0";
    sandbox.set(kSteamKey, L"SteamPath", REG_MULTI_SZ, multi, sizeof(multi));
    EXPECT_EQ(registry.steamPath(), std::nullopt);
    sandbox.set(kSteamKey, L"SteamPath", REG_BINARY, "C:\\Steam", 8);
    EXPECT_EQ(registry.steamPath(), std::nullopt);
}

TEST_F(SteamRegistryTest, SteamPathUpToTheBufferOf65536Bytes) {
    // 32,767 characters and the terminator fill the buffer exactly; one more does not fit.
    const std::wstring longest(32'767, L's');
    sandbox.setString(kSteamKey, L"SteamPath", longest);
    EXPECT_EQ(registry.steamPath(), longest);
    sandbox.setString(kSteamKey, L"SteamPath", longest + L"s");
    EXPECT_EQ(registry.steamPath(), std::nullopt);
}

TEST_F(SteamRegistryTest, ActiveUserIsADword) {
    EXPECT_EQ(registry.activeUser(), std::nullopt);  // Steam never started: no ActiveProcess key
    for (const DWORD value : {0ul, 1ul, 22202ul, 0xFFFFFFFFul}) {
        sandbox.setDword(kActiveProcessKey, L"ActiveUser", value);
        EXPECT_EQ(registry.activeUser(), value);  // read afresh each time
    }
    sandbox.remove(kActiveProcessKey, L"ActiveUser");
    EXPECT_EQ(registry.activeUser(), std::nullopt);
}

TEST_F(SteamRegistryTest, ActiveUserOfAnotherTypeIsNotRead) {
    sandbox.setString(kActiveProcessKey, L"ActiveUser", L"22202");
    EXPECT_EQ(registry.activeUser(), std::nullopt);
    const DWORD bytes = 22202;
    sandbox.set(kActiveProcessKey, L"ActiveUser", REG_BINARY, &bytes, sizeof(bytes));
    EXPECT_EQ(registry.activeUser(), std::nullopt);
    const unsigned long long wide = 22202;
    sandbox.set(kActiveProcessKey, L"ActiveUser", REG_QWORD, &wide, sizeof(wide));
    EXPECT_EQ(registry.activeUser(), std::nullopt);
}

}  // namespace
}  // namespace quorvel
