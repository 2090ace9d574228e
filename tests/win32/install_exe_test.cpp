// The install modes of the shipped exe, run as a user would after a download: they use the
// prefix's own HKCU and local application data, so each test holds the OutsideWorldLock and puts
// back what it found.
#include "common/command_line.hpp"
#include "common/text.hpp"
#include "platform/known_folders_win32.hpp"
#include "platform/sha256.hpp"
#include "support/prefix_install_state_win32.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace quorvel {
namespace {

using testing::readUserDword;
using testing::readUserString;

bool keyExists(const wchar_t* key) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
    RegCloseKey(raw);
    return true;
}

class InstallExeTest : public ::testing::Test {
protected:
    InstallExeTest() {
        exe = dir / L"下载 文件" / "TXQNativeConnector.exe";
        std::filesystem::create_directories(exe.parent_path());
        std::filesystem::copy_file(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", exe);
        image = testing::readFile(exe);
    }
    testing::ChildOutcome start(const std::wstring& arguments, unsigned long timeoutMs = 60'000) {
        return testing::runChild(exe, arguments, exe.parent_path(), timeoutMs);
    }
    // What a failed run reported, so that a failure shows its reason.
    std::string errorReport() const {
        const std::filesystem::path report = exe.parent_path() / "native-check-error.json";
        return std::filesystem::exists(report) ? testing::readFile(report) : std::string("no error report");
    }
    std::filesystem::path installed() const { return state.root() / L"versions\\2026092001\\TXQNativeConnector.exe"; }
    std::string expectedResultFile() const {
        return "{\r\n  \"build\": 2026092001,\r\n  \"selected\": " +
               nlohmann::json(toNarrow(installed().wstring())).dump() + "\r\n}";
    }

    testing::OutsideWorldLock lock;
    testing::PrefixInstallState state;
    testing::TempDir dir;
    std::filesystem::path exe;
    std::string image;
};

TEST_F(InstallExeTest, InstallOnlyFromADownloadFolderInstallsRegistersAndReports) {
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first run" : "second run");
        const testing::ChildOutcome outcome = start(L"--install-only");
        ASSERT_FALSE(outcome.timedOut);
        EXPECT_EQ(outcome.exitCode, 0u) << errorReport();
        EXPECT_TRUE(outcome.boxes.empty());
        EXPECT_EQ(testing::readFile(installed()), image);
        EXPECT_EQ(testing::readFile(state.root() / "active.json"),
                  "{\n  \"build\": 2026092001,\n  \"bytes\": " + std::to_string(image.size()) +
                      ",\n  \"platform\": \"windows-x64\",\n  \"schema\": 1,\n  \"sha256\": \"" + sha256Hex(image) +
                      "\"\n}");
        EXPECT_EQ(readUserString(kProtocolKey, nullptr), L"Quorvel");
        EXPECT_EQ(readUserString(kProtocolKey, L"URL Protocol"), L"");
        EXPECT_EQ(readUserString(kProtocolCommandKey, nullptr), quoteArgument(installed().wstring()) + L" \"%1\"");
        const std::wstring quoted = quoteArgument(installed().wstring());
        EXPECT_EQ(readUserString(kUninstallKey, L"DisplayName"), L"Quorvel");
        EXPECT_EQ(readUserString(kUninstallKey, L"DisplayVersion"), L"2026.920.1.0");
        EXPECT_EQ(readUserString(kUninstallKey, L"Publisher"), L"Quorvel");
        EXPECT_EQ(readUserString(kUninstallKey, L"DisplayIcon"), installed().wstring());
        EXPECT_EQ(readUserString(kUninstallKey, L"InstallLocation"), state.root().wstring());
        EXPECT_EQ(readUserString(kUninstallKey, L"UninstallString"), quoted + L" --uninstall");
        EXPECT_EQ(readUserString(kUninstallKey, L"QuietUninstallString"), quoted + L" --uninstall --quiet");
        EXPECT_EQ(readUserDword(kUninstallKey, L"NoModify"), 1u);
        EXPECT_EQ(readUserDword(kUninstallKey, L"NoRepair"), 1u);
        EXPECT_EQ(readUserDword(kUninstallKey, L"EstimatedSize"), (image.size() + 1'023) / 1'024);
        EXPECT_EQ(testing::readFile(exe.parent_path() / "native-install-result.json"), expectedResultFile());
        EXPECT_FALSE(std::filesystem::exists(state.root() / "update.log"));
    }
}

TEST_F(InstallExeTest, TheNextReleaseInstallsItselfUnderItsOwnBuild) {
    std::filesystem::remove(exe);
    std::filesystem::copy_file(testing::buildFolder() / "next-release" / "TXQNativeConnector.exe", exe);
    const testing::ChildOutcome outcome = start(L"--install-only");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u) << errorReport();
    const std::filesystem::path next = state.root() / L"versions\\2026092002\\TXQNativeConnector.exe";
    EXPECT_EQ(testing::readFile(next), testing::readFile(exe));
    EXPECT_EQ(testing::readFile(exe.parent_path() / "native-install-result.json"),
              "{\r\n  \"build\": 2026092002,\r\n  \"selected\": " + nlohmann::json(toNarrow(next.wstring())).dump() +
                  "\r\n}");
}

TEST_F(InstallExeTest, UpdateOnlyWithThePlaceholderHostLogsASkipAndSucceeds) {
    const testing::ChildOutcome outcome = start(L"--update-only");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u) << errorReport();
    EXPECT_EQ(testing::readFile(exe.parent_path() / "native-install-result.json"), expectedResultFile());
    const std::string log = testing::readFile(state.root() / "update.log");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.find("\r\n"), log.size() - 2) << log;
    EXPECT_EQ(log.rfind("{\"build\":2026092001,\"event\":\"update_skipped: ", 0), 0u) << log;
}

TEST_F(InstallExeTest, RegisterTestProtocolLeavesTxqjoinAlone) {
    const testing::ChildOutcome outcome = start(L"--register-test-protocol");
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u) << errorReport();
    EXPECT_EQ(readUserString(kTestProtocolKey, nullptr), L"TXQ native experiment");
    EXPECT_EQ(readUserString(kTestProtocolKey, L"URL Protocol"), L"");
    EXPECT_EQ(readUserString(kTestProtocolCommandKey, nullptr), quoteArgument(exe.wstring()) + L" \"%1\"");
    EXPECT_FALSE(keyExists(kProtocolKey));
    EXPECT_FALSE(std::filesystem::exists(state.root()));
    if (testing::haveDisplay()) {
        ASSERT_EQ(outcome.boxes.size(), 1u);
        EXPECT_EQ(outcome.boxes[0].caption, L"Quorvel");
        EXPECT_EQ(outcome.boxes[0].text, L"已注册 txqjoin-native 测试协议。现有 Python 助手及 txqjoin 协议未变。");
    }
}

TEST_F(InstallExeTest, ASecondProcessGivesUpAfterWaitingForTheInstallLock) {
    const ScopedKernelHandle held(CreateMutexW(nullptr, TRUE, L"Local\\TXQNativeInstall"));
    ASSERT_TRUE(held);
    const testing::ChildOutcome outcome = start(L"--install-only");
    ReleaseMutex(held.get());
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 1u);
    const auto report = nlohmann::json::parse(testing::readFile(exe.parent_path() / "native-check-error.json"));
    EXPECT_EQ(report.at("error"), "另一个助手正在更新，请稍后重试");
    EXPECT_FALSE(std::filesystem::exists(state.root()));
}

TEST_F(InstallExeTest, UninstallFromTheVersionExecutableRemovesEverythingOfOursAndInstallsAgain) {
    ASSERT_EQ(start(L"--install-only").exitCode, 0u) << errorReport();
    const std::filesystem::path steam = state.root().parent_path() / L"Steam-uninstall-test" / "steam.exe";
    testing::writeFile(steam, "steam");
    const testing::ChildOutcome outcome = testing::runChild(installed(), L"--uninstall --quiet", dir.path(), 60'000);
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_TRUE(outcome.boxes.empty());
    // The temporary copy removes the folder once the Version executable has ended.
    for (int i = 0; i < 300 && std::filesystem::exists(state.root()); ++i) Sleep(100);
    EXPECT_FALSE(std::filesystem::exists(state.root()));
    EXPECT_FALSE(keyExists(kProtocolKey));
    EXPECT_FALSE(keyExists(kUninstallKey));
    EXPECT_EQ(testing::readFile(steam), "steam");
    std::filesystem::remove_all(steam.parent_path());

    ASSERT_EQ(start(L"--install-only").exitCode, 0u) << errorReport();
    EXPECT_EQ(testing::readFile(installed()), image);
    EXPECT_EQ(readUserString(kUninstallKey, L"DisplayName"), L"Quorvel");
}

TEST_F(InstallExeTest, UninstallRefusesWhileTheJoinLockIsHeldAndRemovesNothing) {
    ASSERT_EQ(start(L"--install-only").exitCode, 0u) << errorReport();
    const ScopedKernelHandle held(CreateMutexW(nullptr, TRUE, L"Local\\TXQWebEntry"));
    ASSERT_TRUE(held);
    const testing::ChildOutcome outcome = start(L"--uninstall");
    ReleaseMutex(held.get());
    ASSERT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 1u);
    EXPECT_EQ(testing::readFile(installed()), image);
    EXPECT_TRUE(keyExists(kProtocolKey));
    EXPECT_EQ(readUserString(kUninstallKey, L"DisplayName"), L"Quorvel");
    if (testing::haveDisplay()) {
        ASSERT_EQ(outcome.boxes.size(), 1u);
        EXPECT_EQ(outcome.boxes[0].text, L"另一个连接任务或更新正在进行，请稍后再卸载");
    }
}

}  // namespace
}  // namespace quorvel
