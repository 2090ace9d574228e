#include "update/protocol_registration.hpp"

#include "support/fake_install.hpp"
#include "support/message_of.hpp"
#include "update/install_layout.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::messageOf;

struct Registration : ::testing::Test {
    testing::FakeRegistry registry;
    const std::filesystem::path exe =
        std::filesystem::path(L"C:\\Users\\player one\\App Data\\Local") / L"TXQNativeConnector.exe";
};

TEST_F(Registration, WritesTheThreeProtocolValuesInOrderClosingEachKeyBeforeTheNext) {
    registerProtocol(registry, exe);
    EXPECT_EQ(registry.values[kProtocolKey][L""], L"Quorvel");
    EXPECT_EQ(registry.values[kProtocolKey][L"URL Protocol"], L"");
    EXPECT_EQ(registry.values[kProtocolCommandKey][L""], L"\"" + exe.wstring() + L"\" \"%1\"");
    const std::wstring key = kProtocolKey;
    const std::wstring command = kProtocolCommandKey;
    EXPECT_EQ(registry.events,
              (std::vector<std::wstring>{L"create " + key, L"set " + key + L"|", L"close " + key, L"create " + key,
                                         L"set " + key + L"|URL Protocol", L"close " + key, L"create " + command,
                                         L"set " + command + L"|", L"close " + command}));
    EXPECT_EQ(registry.openKeys, 0);
}

TEST_F(Registration, StopsAtTheFirstFailureAndKeepsWhatWasWritten) {
    registry.refusedValues.insert({kProtocolKey, L""});
    EXPECT_EQ(messageOf([&] { registerProtocol(registry, exe); }), "无法保存启动助手注册信息");
    EXPECT_TRUE(registry.values.empty());
    EXPECT_EQ(registry.events.back(), std::wstring(L"close ") + kProtocolKey);  // closed before the check

    testing::FakeRegistry second;
    second.refusedKeys.insert(kProtocolCommandKey);
    EXPECT_EQ(messageOf([&] { registerProtocol(second, exe); }), "无法注册启动助手");
    EXPECT_EQ(second.values[kProtocolKey].size(), 2u);
    EXPECT_EQ(second.values.count(kProtocolCommandKey), 0u);
    EXPECT_EQ(second.openKeys, 0);
}

TEST(VersionText, MatchesTheVersionResourceOfTheBuild) {
    const struct {
        std::uint64_t build;
        const wchar_t* text;
    } cases[] = {
        {2026092001, L"2026.920.1.0"},
        {2026123199, L"2026.1231.99.0"},
        {2027010100, L"2027.101.0.0"},
        {9999999999, L"9999.9999.99.0"},
    };
    for (const auto& c : cases) EXPECT_EQ(versionText(c.build), c.text) << c.build;
}

TEST_F(Registration, TheUninstallEntryDescribesTheBuildInOneKey) {
    const std::filesystem::path root = std::filesystem::path(L"C:\\Users\\player one\\AppData\\Local") / L"TXQ";
    registerUninstallEntry(registry, {exe, 2026092001, 70'000, root});
    const std::wstring quoted = L"\"" + exe.wstring() + L"\"";
    EXPECT_EQ(registry.values[kUninstallKey], (std::map<std::wstring, std::wstring>{
                                                  {L"DisplayName", L"Quorvel"},
                                                  {L"DisplayVersion", L"2026.920.1.0"},
                                                  {L"Publisher", L"Quorvel"},
                                                  {L"DisplayIcon", exe.wstring()},
                                                  {L"InstallLocation", root.wstring()},
                                                  {L"UninstallString", quoted + L" --uninstall"},
                                                  {L"QuietUninstallString", quoted + L" --uninstall --quiet"},
                                              }));
    // 70,000 bytes are 68.4 KiB: rounded up.
    EXPECT_EQ(registry.dwords[kUninstallKey],
              (std::map<std::wstring, std::uint32_t>{{L"NoModify", 1}, {L"NoRepair", 1}, {L"EstimatedSize", 69}}));
    EXPECT_EQ(registry.events.front(), std::wstring(L"create ") + kUninstallKey);
    EXPECT_EQ(registry.events.back(), std::wstring(L"close ") + kUninstallKey);
    EXPECT_EQ(registry.openKeys, 0);

    testing::FakeRegistry exact;
    registerUninstallEntry(exact, {exe, 2026092001, 2'048, root});
    EXPECT_EQ(exact.dwords[kUninstallKey][L"EstimatedSize"], 2u);
}

TEST_F(Registration, AFailedUninstallValueStopsTheEntryAfterClosingItsKey) {
    registry.refusedValues.insert({kUninstallKey, L"NoRepair"});
    EXPECT_EQ(messageOf([&] { registerUninstallEntry(registry, {exe, 2026092001, 1, "C:\\r"}); }),
              "无法保存启动助手注册信息");
    EXPECT_EQ(registry.events.back(), std::wstring(L"close ") + kUninstallKey);
    EXPECT_EQ(registry.dwords[kUninstallKey].count(L"EstimatedSize"), 0u);  // nothing after the failure

    testing::FakeRegistry refused;
    refused.refusedKeys.insert(kUninstallKey);
    EXPECT_EQ(messageOf([&] { registerUninstallEntry(refused, {exe, 2026092001, 1, "C:\\r"}); }),
              "无法注册启动助手");
}

TEST_F(Registration, TestProtocolPointsAtTheRunningProgramAndLeavesTxqjoinAlone) {
    testing::FakeLocations locations;
    locations.module = std::filesystem::path(L"D:\\downloads\\a b") / L"TXQNativeConnector.exe";
    registry.values[kProtocolCommandKey][L""] = L"untouched";
    registerTestProtocol(registry, locations);
    registerTestProtocol(registry, locations);
    EXPECT_EQ(registry.values[kTestProtocolKey],
              (std::map<std::wstring, std::wstring>{{L"", L"TXQ native experiment"}, {L"URL Protocol", L""}}));
    EXPECT_EQ(registry.values[kTestProtocolCommandKey][L""], L"\"" + locations.module.wstring() + L"\" \"%1\"");
    EXPECT_EQ(registry.values[kProtocolCommandKey][L""], L"untouched");
    EXPECT_EQ(registry.values.count(kProtocolKey), 0u);
}

TEST_F(Registration, TestProtocolFailures) {
    testing::FakeLocations locations;
    locations.module = "TXQNativeConnector.exe";
    {
        testing::FakeRegistry refused;
        refused.refusedKeys.insert(kTestProtocolKey);
        EXPECT_EQ(messageOf([&] { registerTestProtocol(refused, locations); }), "无法注册测试协议");
    }
    {
        // The name and marker writes are not checked; only the command's is.
        testing::FakeRegistry refused;
        refused.refusedValues.insert({kTestProtocolKey, L""});
        EXPECT_NO_THROW(registerTestProtocol(refused, locations));
        refused.refusedKeys.insert(kTestProtocolCommandKey);
        EXPECT_EQ(messageOf([&] { registerTestProtocol(refused, locations); }), "无法注册测试命令");
    }
    {
        testing::FakeRegistry refused;
        refused.refusedValues.insert({kTestProtocolCommandKey, L""});
        EXPECT_EQ(messageOf([&] { registerTestProtocol(refused, locations); }), "测试协议保存失败");
        EXPECT_EQ(refused.openKeys, 0);
    }
}

TEST(InstallLayout, VersionExecutableLiesBelowTheInstallRoot) {
    testing::FakeKnownFolders folders;
    folders.folder = std::filesystem::path(L"C:\\Users\\p\\AppData\\Local");
    EXPECT_EQ(installRoot(folders), *folders.folder / L"TXQConnectorNative");
    EXPECT_EQ(versionExecutablePath(folders, 2026092001),
              installRoot(folders) / L"versions" / L"2026092001" / L"TXQNativeConnector.exe");
    folders.folder.reset();
    EXPECT_EQ(messageOf([&] { versionExecutablePath(folders, 2026092001); }), "无法定位用户安装目录");
}

}  // namespace
}  // namespace quorvel
