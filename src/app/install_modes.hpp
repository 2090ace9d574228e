#pragma once
// The install run modes: --install-only and --update-only (prepareLauncher and its Result file),
// and --register-test-protocol.

#include "app/desktop.hpp"
#include "update/install_system.hpp"

namespace quorvel {

inline constexpr const wchar_t* kTestProtocolRegistered =
    L"已注册 txqjoin-native 测试协议。现有 Python 助手及 txqjoin 协议未变。";

// Runs prepareLauncher without progress and writes native-install-result.json (build, selected)
// beside the executable.
void runInstall(InstallSystem& system, bool checkForUpdates);

// Registers the test protocol and says so in a message box.
void runRegisterTestProtocol(Registry& registry, const ProgramLocations& locations, Desktop& desktop);

}  // namespace quorvel
