#pragma once
// The install run modes: --install-only and --update-only (prepareLauncher and its Result file),
// --uninstall and --register-test-protocol.

#include "app/desktop.hpp"
#include "update/install_system.hpp"
#include "update/uninstall.hpp"

namespace quorvel {

inline constexpr const wchar_t* kTestProtocolRegistered =
    L"已注册 txqjoin-native 测试协议。现有 Python 助手及 txqjoin 协议未变。";

// Runs prepareLauncher without progress and writes native-install-result.json (build, selected)
// beside the executable.
void runInstall(InstallSystem& system, bool checkForUpdates);

// --uninstall [--quiet] and the temporary copy's hand-off: uninstalls under the join lock and
// says "Quorvel 已卸载。" once everything is removed, unless `quiet`.
void runUninstall(InstallSystem& system, Desktop& desktop, bool quiet, const UninstallHandOff* handOff);

// Registers the test protocol and says so in a message box.
void runRegisterTestProtocol(Registry& registry, const ProgramLocations& locations, Desktop& desktop);

}  // namespace quorvel
