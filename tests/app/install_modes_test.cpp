#include "app/install_modes.hpp"

#include "support/fake_install.hpp"
#include "support/message_of.hpp"
#include "update/protocol_registration.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(InstallModes, WriteTheSelectedLauncherBesideTheExecutable) {
    for (const bool checking : {false, true}) {
        testing::InstallWorld world;
        runInstall(world.system, checking);
        const std::string selected = world.versionExe(2026092001).string();
        EXPECT_EQ(testing::readFile(world.locations.module.parent_path() / "native-install-result.json"),
                  "{\r\n  \"build\": 2026092001,\r\n  \"selected\": " + nlohmann::json(selected).dump() + "\r\n}");
        EXPECT_EQ(world.logLines().size(), checking ? 1u : 0u);
    }
}

TEST(InstallModes, AFailedInstallWritesNoResultFile) {
    testing::InstallWorld world;
    world.locks.state = testing::LockState::heldElsewhere;
    EXPECT_EQ(testing::messageOf([&] { runInstall(world.system, false); }), "另一个助手正在更新，请稍后重试");
    EXPECT_FALSE(std::filesystem::exists(world.locations.module.parent_path() / "native-install-result.json"));
}

TEST(InstallModes, RegisterTestProtocolSaysSoOnlyAfterRegistering) {
    testing::InstallWorld world;
    testing::RecordingDesktop desktop;
    runRegisterTestProtocol(world.registry, world.locations, desktop);
    EXPECT_EQ(desktop.informations,
              std::vector<std::wstring>{L"已注册 txqjoin-native 测试协议。现有 Python 助手及 txqjoin 协议未变。"});
    EXPECT_EQ(world.registry.values[kTestProtocolCommandKey][L""], protocolCommand(world.locations.module));

    testing::RecordingDesktop second;
    world.registry.refusedKeys.insert(kTestProtocolKey);
    EXPECT_EQ(testing::messageOf([&] { runRegisterTestProtocol(world.registry, world.locations, second); }),
              "无法注册测试协议");
    EXPECT_TRUE(second.informations.empty());
}

}  // namespace
}  // namespace quorvel
