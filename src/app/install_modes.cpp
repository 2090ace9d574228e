#include "app/install_modes.hpp"

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

void runRegisterTestProtocol(Registry& registry, const ProgramLocations& locations, Desktop& desktop) {
    registerTestProtocol(registry, locations);
    desktop.showInformation(kTestProtocolRegistered);
}

}  // namespace quorvel
