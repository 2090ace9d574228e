// The Windows side of installing: registry writes read back exactly, the known folder and health
// checks of real programs.
#include "common/command_line.hpp"
#include "platform/known_folders_win32.hpp"
#include "platform/registry_win32.hpp"
#include "support/message_of.hpp"
#include "support/registry_sandbox_win32.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"
#include "update/activation.hpp"
#include "update/child_process_win32.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
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

// Real children, with waits shortened so that a child that never ends costs half a second.
struct ShortWaits final : ChildProcesses {
    struct Child final : ChildProcess {
        std::unique_ptr<ChildProcess> real;
        std::uint32_t capMs = 500;
        bool waitForExit(std::uint32_t milliseconds) override {
            return real->waitForExit(std::min(milliseconds, capMs));
        }
        void terminate(std::uint32_t exitCode) override { real->terminate(exitCode); }
        std::optional<std::uint32_t> exitCode() override { return real->exitCode(); }
    };
    Win32ChildProcesses real;
    std::wstring extraArguments;  // appended to each command line
    std::uint32_t capMs = 500;    // the longest wait for a child's end
    std::unique_ptr<ChildProcess> start(const ProgramStart& options) override {
        ProgramStart changed = options;
        changed.commandLine += extraArguments;
        auto child = std::make_unique<Child>();
        child->capMs = capMs;
        child->real = real.start(changed);
        if (!child->real) return nullptr;
        return child;
    }
};

TEST(HealthCheckOfPrograms, TheProductIsHealthyOthersAreNot) {
    testing::TempDir dir;
    const std::filesystem::path product = dir / L"版本 1" / "TXQNativeConnector.exe";
    std::filesystem::create_directories(product.parent_path());
    std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", product);
    Win32ChildProcesses processes;
    EXPECT_NO_THROW(healthCheck(processes, product));

    EXPECT_EQ(testing::messageOf([&] { healthCheck(processes, dir / "absent.exe"); }), "新版助手无法启动");

    // The stand-in game client ignores --health-check: told to end by itself it ends with 2,
    // otherwise it runs until it is ended.
    const std::filesystem::path standIn = dir / "dota2.exe";
    std::filesystem::copy_file(testing::standInPath(), standIn);
    ShortWaits shortWaits;
    // A child that ends by itself gets the health check's own wait: a loaded machine may take
    // longer than the short one just to start it.
    shortWaits.capMs = std::numeric_limits<std::uint32_t>::max();
    shortWaits.extraArguments = L" --no-window --exit-after 1";
    EXPECT_EQ(testing::messageOf([&] { healthCheck(shortWaits, standIn); }), "新版助手健康检查失败");
    shortWaits.capMs = 500;
    shortWaits.extraArguments = L" --no-window --record " + quoteArgument((dir / "record.txt").wstring());
    EXPECT_EQ(testing::messageOf([&] { healthCheck(shortWaits, standIn); }), "新版助手健康检查超时");
    // Terminated, not closed: it never recorded an exit of its own.
    Sleep(200);
    const std::string record =
        std::filesystem::exists(dir / "record.txt") ? testing::readFile(dir / "record.txt") : std::string();
    EXPECT_EQ(record.find("exit"), std::string::npos) << record;
}

}  // namespace
}  // namespace quorvel
