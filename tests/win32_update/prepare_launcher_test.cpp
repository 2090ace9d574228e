// prepareLauncher with the Windows seams against the update host of the simulator: the product's
// own exe is installed, health-checked and registered, and its next release served as an update.
#include "update/prepare_launcher.hpp"
#include "build_config.hpp"
#include "common/text.hpp"
#include "platform/files.hpp"
#include "platform/https_win32.hpp"
#include "platform/named_lock_win32.hpp"
#include "platform/process_win32.hpp"
#include "platform/registry_win32.hpp"
#include "platform/sha256.hpp"
#include "support/fake_install.hpp"
#include "support/lobby_simulator_win32.hpp"
#include "support/windows_process_win32.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

namespace quorvel {
namespace {

// The Install lock under a name of this process's own, so that exe tests holding the real one in
// the shared prefix do not keep these waiting.
struct PrivateLock final : NamedLocks {
    Win32NamedLocks real;
    LockAttempt tryLock(const std::wstring& name, std::uint32_t timeoutMs) override {
        return real.tryLock(name + L"-" + std::to_wstring(GetCurrentProcessId()), timeoutMs);
    }
};

// The registry below a private key of HKCU, removed at the end. (A registry sandbox would hide
// the simulator's CA, which the prefix trusts through HKCU.)
struct PrivateRegistry final : Registry {
    Win32Registry real;
    const std::wstring prefix = L"Software\\QuorvelUpdateTests\\" + std::to_wstring(GetCurrentProcessId());
    ~PrivateRegistry() override { RegDeleteTreeW(HKEY_CURRENT_USER, prefix.c_str()); }
    std::optional<std::wstring> readString(const std::wstring& subKey, const std::wstring& name,
                                           std::uint32_t maxBytes) const override {
        return real.readString(prefix + L"\\" + subKey, name, maxBytes);
    }
    std::optional<std::uint32_t> readDword(const std::wstring& subKey, const std::wstring& name) const override {
        return real.readDword(prefix + L"\\" + subKey, name);
    }
    std::unique_ptr<RegistryKey> createKey(const std::wstring& subKey) override {
        return real.createKey(prefix + L"\\" + subKey);
    }
    bool deleteTree(const std::wstring& subKey) override { return real.deleteTree(prefix + L"\\" + subKey); }
    std::wstring commandValue() const {
        std::vector<wchar_t> buffer(4'096);
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const std::wstring key = prefix + L"\\" + kProtocolCommandKey;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer.data(), &size) !=
            ERROR_SUCCESS) {
            return L"(none)";
        }
        return buffer.data();
    }
};

class PrepareAgainstSimulator : public ::testing::Test {
protected:
    PrepareAgainstSimulator() {
        locations.module = dir / L"下载" / "TXQNativeConnector.exe";
        std::filesystem::create_directories(locations.module.parent_path());
        std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", locations.module);
        folders.folder = dir / "local";
        product = testing::readFile(locations.module);
    }

    std::filesystem::path prepare(bool checking) { return prepareLauncher(system, progress, checking); }
    std::filesystem::path versionExe(std::uint64_t build) {
        return *folders.folder / L"TXQConnectorNative\\versions" / std::to_wstring(build) / L"TXQNativeConnector.exe";
    }
    std::vector<std::string> events() {
        std::vector<std::string> found;
        const std::string log = testing::readFile(*folders.folder / L"TXQConnectorNative\\update.log");
        for (std::size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
            found.push_back(nlohmann::json::parse(log.substr(start, end - start)).at("event"));
        }
        return found;
    }

    testing::SimulatedLobby simulator;
    testing::TempDir dir;
    testing::FakeLocations locations;
    testing::FakeKnownFolders folders;
    LocalFiles files;
    PrivateRegistry registry;
    Win32Processes processes;
    PrivateLock locks;
    SystemClock clock;
    SystemTickClock ticks;
    WinHttpTransport transport;
    InstallSystem system{locations, folders, files, registry,
                         processes, locks,   clock, {transport, ticks, simulator.host()}};
    std::string product;
    std::vector<std::wstring> shown;
    ProgressCallback progress = [this](const std::wstring& text) { shown.push_back(text); };
};

TEST_F(PrepareAgainstSimulator, InstallsThenTakesANewerReleaseFromTheUpdateHost) {
    simulator.publish(product, 2026092001);
    EXPECT_EQ(prepare(true), versionExe(2026092001));
    EXPECT_EQ(testing::readFile(versionExe(2026092001)), product);
    EXPECT_EQ(registry.commandValue(), L"\"" + versionExe(2026092001).wstring() + L"\" \"%1\"");
    EXPECT_EQ(
        parseRelease(nlohmann::json::parse(testing::readFile(*folders.folder / L"TXQConnectorNative\\active.json")))
            .build,
        2026092001u);
    EXPECT_EQ(events(), std::vector<std::string>{"up_to_date"});
    EXPECT_EQ(shown, std::vector<std::wstring>{kCheckingForUpdate});

    // The next release of the same program: downloaded, verified, health-checked, activated.
    const std::string next = testing::readFile(testing::buildFolder() / "next-release" / "TXQNativeConnector.exe");
    ASSERT_NE(next, product);
    const nlohmann::json manifest = simulator.publish(next, 2026092002);
    shown.clear();
    EXPECT_EQ(prepare(true), versionExe(2026092002));
    EXPECT_EQ(testing::readFile(versionExe(2026092002)), next);
    EXPECT_EQ(registry.commandValue(), L"\"" + versionExe(2026092002).wstring() + L"\" \"%1\"");
    EXPECT_EQ(events(), (std::vector<std::string>{"up_to_date", "update_activated"}));
    EXPECT_EQ(shown, (std::vector<std::wstring>{kCheckingForUpdate, kDownloadingUpdate}));
    const nlohmann::json requests = simulator.requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests.back().at("path"), "/downloads/native/" + manifest.at("sha256").get<std::string>() + ".exe");
}

TEST_F(PrepareAgainstSimulator, AnUnpublishedManifestIsSkippedAndTheRunningBuildServes) {
    EXPECT_EQ(prepare(true), versionExe(2026092001));
    EXPECT_EQ(events(), std::vector<std::string>{"update_skipped: 更新服务返回异常"});
    EXPECT_EQ(shown, (std::vector<std::wstring>{kCheckingForUpdate, kUpdateUnavailable}));
    EXPECT_EQ(registry.commandValue(), L"\"" + versionExe(2026092001).wstring() + L"\" \"%1\"");
}

TEST_F(PrepareAgainstSimulator, PlacedUpdateFilesAreServedAndScriptedAnswersStillComeFirst) {
    // A folder of the build tree, which the simulator sees under its own name.
    const std::string name = "update-host-" + std::to_string(GetCurrentProcessId());
    const std::filesystem::path placed = testing::buildFolder() / name;
    const std::string next = testing::readFile(testing::buildFolder() / "next-release" / "TXQNativeConnector.exe");
    const Release release{2026092002, next.size(), sha256Hex(next)};
    testing::writeFile(placed / "native-connector-update.json", releaseToJson(release).dump());
    testing::writeFile(placed / "native" / (release.sha256 + ".exe"), next);
    simulator.serveDownloadsFrom(std::string(QUORVEL_BINARY_DIR) + "/" + name);

    simulator.script(
        nlohmann::json{{"path", "/downloads/native/" + release.sha256 + ".exe"}, {"status", 503}, {"times", 1}});
    EXPECT_EQ(prepare(true), versionExe(2026092001));
    EXPECT_EQ(prepare(true), versionExe(2026092002));
    EXPECT_EQ(events(), (std::vector<std::string>{"update_skipped: 更新服务返回异常", "update_activated"}));
    EXPECT_EQ(testing::readFile(versionExe(2026092002)), next);
    std::filesystem::remove_all(placed);
}

// A release tree that scripts/release wrote (scripts/check-release names it in QUORVEL_RELEASE_TREE,
// a path on the simulator's machine): the running build takes it as an update, and active.json
// then holds exactly the published manifest.
TEST_F(PrepareAgainstSimulator, AReleaseTreeFromTheReleaseScriptIsInstalledAndActivated) {
    const char* tree = std::getenv("QUORVEL_RELEASE_TREE");
    if (tree == nullptr || *tree == '\0')
        GTEST_SKIP() << "QUORVEL_RELEASE_TREE names no release tree (scripts/check-release sets it)";
    const std::filesystem::path seen = L"Z:" + toWide(tree);
    const std::string manifestText = testing::readFile(seen / "native-connector-update.json");
    const Release release = parseRelease(nlohmann::json::parse(manifestText));
    ASSERT_GT(release.build, config::kRunningBuild);
    const std::string image = testing::readFile(seen / "native" / (release.sha256 + ".exe"));

    simulator.serveDownloadsFrom(tree);
    EXPECT_EQ(prepare(true), versionExe(release.build));
    EXPECT_EQ(events(), std::vector<std::string>{"update_activated"});
    EXPECT_EQ(testing::readFile(versionExe(release.build)), image);
    EXPECT_EQ(registry.commandValue(), L"\"" + versionExe(release.build).wstring() + L"\" \"%1\"");
    EXPECT_EQ(testing::readFile(*folders.folder / L"TXQConnectorNative\\active.json"), manifestText);
}

}  // namespace
}  // namespace quorvel
