// The Windows side of installing: registry writes read back exactly, and the known folder.
#include "platform/known_folders_win32.hpp"
#include "platform/registry_win32.hpp"
#include "support/message_of.hpp"
#include "support/registry_sandbox_win32.hpp"
#include "update/install_layout.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

struct ReadValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::optional<ReadValue> readValue(const std::wstring& key, const std::wstring& name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return std::nullopt;
    const ScopedRegistryKey owned(raw);
    ReadValue value;
    DWORD size = 0;
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    if (RegQueryValueExW(raw, valueName, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(size);
    if (RegQueryValueExW(raw, valueName, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    return value;
}

// REG_SZ whose length counts the terminating NUL.
void expectString(const std::wstring& key, const std::wstring& name, const std::wstring& expected) {
    SCOPED_TRACE(key + L"|" + name);
    const std::optional<ReadValue> value = readValue(key, name);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    const auto* begin = reinterpret_cast<const BYTE*>(expected.c_str());
    EXPECT_EQ(value->data, std::vector<BYTE>(begin, begin + (expected.size() + 1) * sizeof(wchar_t)));
}

TEST(InstallRegistry, ProtocolValuesReadBackExactly) {
    testing::RegistrySandbox sandbox(testing::RegistrySandbox::Keys::persistent);
    Win32Registry registry;
    const std::filesystem::path exe = std::filesystem::path(L"C:\\users\\玩家 1\\AppData\\Local\\TXQConnectorNative") /
                                      L"versions" / L"2026092001" / L"TXQNativeConnector.exe";
    registerProtocol(registry, exe);
    expectString(kProtocolKey, L"", L"Quorvel");
    expectString(kProtocolKey, L"URL Protocol", L"");
    expectString(kProtocolCommandKey, L"", L"\"" + exe.wstring() + L"\" \"%1\"");

    Win32ProgramLocations locations;
    registerTestProtocol(registry, locations);
    expectString(kTestProtocolKey, L"", L"TXQ native experiment");
    expectString(kTestProtocolKey, L"URL Protocol", L"");
    expectString(kTestProtocolCommandKey, L"", L"\"" + locations.modulePath().wstring() + L"\" \"%1\"");
    expectString(kProtocolCommandKey, L"", L"\"" + exe.wstring() + L"\" \"%1\"");
}

TEST(InstallRegistry, TheUninstallEntryReadsBackExactlyAndDeleteTreeRemovesItWhole) {
    testing::RegistrySandbox sandbox(testing::RegistrySandbox::Keys::persistent);
    Win32Registry registry;
    const std::filesystem::path root = L"C:\\users\\玩家 1\\AppData\\Local\\TXQConnectorNative";
    const std::filesystem::path exe = root / L"versions" / L"2026092001" / L"TXQNativeConnector.exe";
    registerUninstallEntry(registry, {exe, 2026092001, 1'025, root});
    const std::wstring quoted = L"\"" + exe.wstring() + L"\"";
    expectString(kUninstallKey, L"DisplayName", L"Quorvel");
    expectString(kUninstallKey, L"DisplayVersion", L"2026.920.1.0");
    expectString(kUninstallKey, L"Publisher", L"Quorvel");
    expectString(kUninstallKey, L"DisplayIcon", exe.wstring());
    expectString(kUninstallKey, L"InstallLocation", root.wstring());
    expectString(kUninstallKey, L"UninstallString", quoted + L" --uninstall");
    expectString(kUninstallKey, L"QuietUninstallString", quoted + L" --uninstall --quiet");
    for (const auto& [name, expected] : {std::pair<const wchar_t*, DWORD>{L"NoModify", 1}, {L"NoRepair", 1},
                                         {L"EstimatedSize", 2}}) {
        SCOPED_TRACE(name);
        const std::optional<ReadValue> value = readValue(kUninstallKey, name);
        ASSERT_TRUE(value.has_value());
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD));
        const auto* begin = reinterpret_cast<const BYTE*>(&expected);
        EXPECT_EQ(value->data, std::vector<BYTE>(begin, begin + sizeof(DWORD)));
    }

    registerProtocol(registry, exe);
    EXPECT_TRUE(registry.deleteTree(kProtocolKey));
    EXPECT_FALSE(readValue(kProtocolKey, L"").has_value());
    EXPECT_FALSE(readValue(kProtocolCommandKey, L"").has_value());
    EXPECT_TRUE(registry.deleteTree(kProtocolKey));  // already gone
    EXPECT_TRUE(registry.deleteTree(kUninstallKey));
    EXPECT_FALSE(readValue(kUninstallKey, L"DisplayName").has_value());
    EXPECT_FALSE(registry.deleteTree(L""));
}

TEST(InstallRegistry, AKeyThatCannotBeCreatedStopsRegistration) {
    testing::RegistrySandbox sandbox(testing::RegistrySandbox::Keys::persistent);
    // A volatile key cannot take the persistent children registration creates.
    sandbox.setString(L"Software\\Classes\\txqjoin\\shell", L"", L"volatile");
    Win32Registry registry;
    EXPECT_EQ(testing::messageOf([&] { registerProtocol(registry, "C:\\a.exe"); }), "无法注册启动助手");
    expectString(kProtocolKey, L"", L"Quorvel");
    expectString(kProtocolKey, L"URL Protocol", L"");
}

TEST(InstallLayout, InstallRootLiesInTheUsersLocalApplicationData) {
    const Win32KnownFolders folders;
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(installRoot(folders), std::filesystem::path(local) / L"TXQConnectorNative");
    EXPECT_EQ(versionExecutablePath(folders, 2026092001),
              std::filesystem::path(local) / L"TXQConnectorNative\\versions\\2026092001\\TXQNativeConnector.exe");
}

}  // namespace
}  // namespace quorvel
