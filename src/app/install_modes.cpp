#include "app/install_modes.hpp"

#include "app/join_mode.hpp"
#include "app/result_file.hpp"
#include "common/text.hpp"
#include "update/prepare_launcher.hpp"
#include "update/protocol_registration.hpp"

namespace quorvel {

void runInstall(InstallSystem& system, bool checkForUpdates) {
    const std::filesystem::path selected = prepareLauncher(
        system, [](const std::wstring&) {}, checkForUpdates);
    writeResultFile("native-install-result.json",
                    nlohmann::json{{"build", runningBuild()}, {"selected", toNarrow(selected.wstring())}},
                    system.locations);
}

void runUninstall(InstallSystem& system, Desktop& desktop, bool quiet, const UninstallHandOff* handOff) {
    if (handOff != nullptr) {
        finishUninstall(system, kJoinLockName, *handOff);
    } else if (uninstall(system, kJoinLockName, quiet) == UninstallEnd::handedOff) {
        return;  // the temporary copy finishes and says so
    }
    if (!quiet) desktop.showInformation(kUninstalled);
}

void runRegisterTestProtocol(Registry& registry, const ProgramLocations& locations, Desktop& desktop) {
    registerTestProtocol(registry, locations);
    desktop.showInformation(kTestProtocolRegistered);
}

}  // namespace quorvel
