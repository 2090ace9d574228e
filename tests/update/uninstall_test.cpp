#include "update/uninstall.hpp"

#include "common/text.hpp"
#include "support/fake_install.hpp"
#include "support/message_of.hpp"
#include "update/activation.hpp"
#include "update/prepare_launcher.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

#include <cwctype>

namespace quorvel {
namespace {

using testing::messageOf;

constexpr std::uint64_t kInstalledBuild = 2026092001;
const std::wstring kJoinLockForUninstall = L"Local\\TXQWebEntry";

struct Uninstall : ::testing::Test {
    Uninstall() {
        world.folders.temporary = world.dir / "temp";
        std::filesystem::create_directories(*world.folders.temporary);
        testing::writeFile(world.dir / "local" / "Steam" / "steam.exe", "steam");
    }
    void install(testing::InstallWorld& target) { prepareLauncher(target.system, [](const std::wstring&) {}, false); }
    bool installed(testing::InstallWorld& target) {
        const std::string running = testing::readFile(target.locations.module);
        const Release release = parseRelease(nlohmann::json::parse(testing::readFile(target.root() / "active.json")));
        return release == testing::releaseOf(kInstalledBuild, running) &&
               testing::readFile(target.versionExe(kInstalledBuild)) == running &&
               target.registry.values[kProtocolCommandKey][L""] == protocolCommand(target.versionExe(kInstalledBuild)) &&
               target.registry.values[kUninstallKey][L"DisplayIcon"] == target.versionExe(kInstalledBuild).wstring();
    }
    testing::InstallWorld world;
};

TEST_F(Uninstall, FromOutsideTheInstallRootRemovesKeysEntryAndFolderAndNothingElse) {
    install(world);
    world.registry.values[kTestProtocolKey][L""] = L"TXQ native experiment";
    world.registry.values[kTestProtocolCommandKey][L""] = protocolCommand(world.root() / "old" / "a.exe");
    world.locks.events.clear();

    EXPECT_EQ(uninstall(world.system, kJoinLockForUninstall, false), UninstallEnd::removed);
    EXPECT_FALSE(std::filesystem::exists(world.root()));
    EXPECT_TRUE(world.registry.values.empty()) << world.registry.values.size();
    EXPECT_TRUE(world.registry.dwords.empty());
    EXPECT_EQ(testing::readFile(world.dir / "local" / "Steam" / "steam.exe"), "steam");
    EXPECT_TRUE(std::filesystem::exists(world.locations.module));
    EXPECT_TRUE(std::filesystem::is_empty(*world.folders.temporary));  // no hand-off
    EXPECT_EQ(world.locks.events,
              (std::vector<std::wstring>{L"create " + kJoinLockForUninstall, L"wait 0", std::wstring(L"create ") + kInstallLockName,
                                         L"wait 0", L"release", L"close", L"release", L"close"}));
    // A second run finds nothing to remove and succeeds.
    EXPECT_EQ(uninstall(world.system, kJoinLockForUninstall, true), UninstallEnd::removed);
}

TEST_F(Uninstall, KeepsProtocolKeysThatRunAProgramOutsideTheInstallRoot) {
    // "@" stands for the Install root, "^" for it in capitals.
    const struct {
        std::wstring command;
        bool removed;
    } cases[] = {
        {L"\"@/versions/2026092001/TXQNativeConnector.exe\" \"%1\"", true},
        {L"\"^/versions/1/TXQNativeConnector.exe\" \"%1\"", true},  // letter case differs
        {L"@/a.exe %1", true},                                       // unquoted
        {L"\"C:\\Python\\helper.exe\" \"%1\"", false},
        {L"\"@-old/a.exe\" \"%1\"", false},                          // a sibling sharing the prefix
        {L"\"@/../Steam/steam.exe\" \"%1\"", false},                 // leaves the root again
        {L"\"@\" \"%1\"", false},                                    // the root itself
        {L"\"versions/1/TXQNativeConnector.exe\" \"%1\"", false},    // relative
        {L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toNarrow(c.command));
        testing::InstallWorld fresh;
        const std::wstring root = fresh.root().wstring();
        std::wstring command;
        for (const wchar_t ch : c.command) {
            if (ch == L'@') {
                command += root;
            } else if (ch == L'^') {
                for (const wchar_t r : root) command += static_cast<wchar_t>(std::towupper(r));
            } else {
                command += ch;
            }
        }
        fresh.registry.values[kProtocolKey][L""] = L"Quorvel";
        fresh.registry.values[kProtocolCommandKey][L""] = command;
        fresh.registry.values[kTestProtocolCommandKey][L""] = command;
        EXPECT_EQ(uninstall(fresh.system, kJoinLockForUninstall, true), UninstallEnd::removed);
        EXPECT_EQ(fresh.registry.values.count(kProtocolKey), c.removed ? 0u : 1u);
        EXPECT_EQ(fresh.registry.values.count(kProtocolCommandKey), c.removed ? 0u : 1u);
        EXPECT_EQ(fresh.registry.values.count(kTestProtocolCommandKey), c.removed ? 0u : 1u);
    }
    // The downloaded exe, outside the root, keeps its test protocol.
    testing::InstallWorld downloaded;
    registerTestProtocol(downloaded.registry, downloaded.locations);
    uninstall(downloaded.system, kJoinLockForUninstall, true);
    EXPECT_EQ(downloaded.registry.values.count(kTestProtocolCommandKey), 1u);
    // No command at all: the key is not known to be ours.
    testing::InstallWorld bare;
    bare.registry.values[kProtocolKey][L""] = L"Quorvel";
    uninstall(bare.system, kJoinLockForUninstall, true);
    EXPECT_EQ(bare.registry.values.count(kProtocolKey), 1u);
}

TEST_F(Uninstall, RefusesWhileAJoinOrAnUpdateRunsAndRemovesNothing) {
    install(world);
    for (const std::wstring& busy : {kJoinLockForUninstall, std::wstring(kInstallLockName)}) {
        SCOPED_TRACE(toNarrow(busy));
        world.locks.busyNames = {busy};
        world.registry.events.clear();
        const std::size_t accesses = world.files.accesses.size();
        EXPECT_EQ(messageOf([&] { uninstall(world.system, kJoinLockForUninstall, false); }), kUninstallBusy);
        EXPECT_TRUE(world.registry.events.empty());
        EXPECT_EQ(world.files.accesses.size(), accesses);
        EXPECT_TRUE(installed(world));
        EXPECT_FALSE(world.locks.held);
    }
}

TEST_F(Uninstall, FromInsideTheInstallRootATemporaryCopyRemovesTheFolderAfterTheFirstProcessEnds) {
    install(world);
    const std::string image = testing::readFile(world.versionExe(kInstalledBuild));
    world.locations.module = world.versionExe(kInstalledBuild);
    world.locations.pid = 777;
    world.ticks.now = 55;
    world.processes.starts.clear();

    EXPECT_EQ(uninstall(world.system, kJoinLockForUninstall, true), UninstallEnd::handedOff);
    EXPECT_TRUE(std::filesystem::exists(world.versionExe(kInstalledBuild)));  // the copy removes it
    EXPECT_TRUE(world.registry.values.empty());
    const std::filesystem::path copy = *world.folders.temporary / L"TXQNativeConnector-uninstall-777-55.exe";
    EXPECT_EQ(testing::readFile(copy), image);
    ASSERT_EQ(world.processes.starts.size(), 1u);
    EXPECT_EQ(world.processes.starts[0].program, copy);
    EXPECT_EQ(world.processes.starts[0].commandLine,
              L"\"" + copy.wstring() + L"\" --uninstall-hand-off 777 \"" + world.root().wstring() + L"\" --quiet");
    EXPECT_EQ(world.processes.starts[0].currentDirectory, *world.folders.temporary);

    // The copy: a wrong root, or a first process that does not end, removes nothing.
    world.locations.module = copy;
    for (const std::filesystem::path& wrong :
         {world.dir / "local", world.root() / "versions", world.root() / ".", world.dir / "local" / "Steam"}) {
        EXPECT_EQ(messageOf([&] { finishUninstall(world.system, kJoinLockForUninstall, {777, wrong}); }), "卸载参数无效");
    }
    world.processes.opened.ends = false;
    EXPECT_EQ(messageOf([&] { finishUninstall(world.system, kJoinLockForUninstall, {777, world.root()}); }),
              "原卸载程序仍在运行，卸载未完成");
    EXPECT_TRUE(std::filesystem::exists(world.versionExe(kInstalledBuild)));

    world.processes.opened.ends = true;
    world.processes.events.clear();
    finishUninstall(world.system, kJoinLockForUninstall, {777, world.root()});
    EXPECT_FALSE(std::filesystem::exists(world.root()));
    EXPECT_TRUE(std::filesystem::exists(copy));  // its own copy stays
    EXPECT_EQ(testing::readFile(world.dir / "local" / "Steam" / "steam.exe"), "steam");
    EXPECT_EQ(world.processes.events, (std::vector<std::string>{"open 777", "wait 30000", "close 777"}));
    EXPECT_EQ(world.processes.handlesOpen, 0);

    // A copy lying in the Install root would hand off for ever: refused.
    world.locations.module = world.versionExe(kInstalledBuild);
    EXPECT_EQ(messageOf([&] { finishUninstall(world.system, kJoinLockForUninstall, {777, world.root()}); }), "卸载参数无效");
}

// Stops the world after each file-system or registry operation of an uninstall (a removal
// stopped half-way leaves every other file), then runs the downloaded exe's install: it must always
// give a sound install, and a later uninstall must remove it all.
TEST_F(Uninstall, AnUninstallStoppedAfterAnyOperationLeavesAStateThatInstallsCleanly) {
    install(world);
    testing::writeFile(world.root() / "update.log", "{}\r\n");
    const int before = world.budget.used;
    uninstall(world.system, kJoinLockForUninstall, true);
    const int operations = world.budget.used - before;
    ASSERT_GE(operations, 3);

    for (int stop = 0; stop <= operations; ++stop) {
        SCOPED_TRACE("stopped after operation " + std::to_string(stop));
        testing::InstallWorld fresh;
        install(fresh);
        testing::writeFile(fresh.root() / "update.log", "{}\r\n");
        fresh.budget.limit = fresh.budget.used + stop;
        try {
            uninstall(fresh.system, kJoinLockForUninstall, true);
        } catch (const std::exception&) {
            // The stopped run may end any way at all.
        }
        fresh.budget.limit.reset();
        EXPECT_NO_THROW(install(fresh));
        EXPECT_TRUE(installed(fresh));
        EXPECT_EQ(uninstall(fresh.system, kJoinLockForUninstall, true), UninstallEnd::removed);
        EXPECT_FALSE(std::filesystem::exists(fresh.root()));
        EXPECT_TRUE(fresh.registry.values.empty());
    }
}

TEST_F(Uninstall, AFolderThatCannotBeRemovedFailsWithItsReasonAfterTheRegistry) {
    install(world);
    world.files.readOnlyFolder = world.root();
    EXPECT_EQ(messageOf([&] { uninstall(world.system, kJoinLockForUninstall, true); }),
              "无法删除安装目录，请关闭正在使用其中文件的程序后重试");
    EXPECT_TRUE(world.registry.values.empty());
    world.files.readOnlyFolder.reset();
    install(world);
    EXPECT_TRUE(installed(world));
}

}  // namespace
}  // namespace quorvel
