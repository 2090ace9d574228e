#include "app/product_modes.hpp"

#include "app/diagnostics.hpp"
#include "app/install_modes.hpp"
#include "app/self_test.hpp"
#include "app/steam_check.hpp"

namespace quorvel {

InstallSystem ProductModes::installSystem() const {
    return InstallSystem{platform_.locations,
                         platform_.folders,
                         platform_.files,
                         platform_.registry,
                         platform_.processes,
                         platform_.locks,
                         platform_.clock,
                         {platform_.transport, platform_.ticks, settings_.updateHost}};
}

void ProductModes::healthCheck() {
    runHealthCheck();
}
void ProductModes::prepare(bool checkForUpdates) {
    InstallSystem install = installSystem();
    runInstall(install, checkForUpdates);
}
void ProductModes::selfTest() {
    InstallSystem install = installSystem();
    const ProgramOperations operations(install);
    quorvel::selfTest(operations, platform_.clock);
}
void ProductModes::steamCheck() {
    runSteamCheck(steamEngineAccess(platform_, game_), platform_.locations, settings_.steamClientPin);
}
void ProductModes::inspect() {
    runInspect(game_.steamRegistry, platform_.files, game_.processTable, platform_.locations);
}
void ProductModes::registerTestProtocol() {
    runRegisterTestProtocol(platform_.registry, platform_.locations, desktop_);
}
void ProductModes::uninstall(bool quiet, const UninstallHandOff* handOff) {
    InstallSystem install = installSystem();
    runUninstall(install, desktop_, quiet, handOff);
}
void ProductModes::join(const std::string& ticket, const std::wstring* link) {
    InstallSystem install = installSystem();
    runJoinMode({joinPlatform_, platform_.locks, platform_.processes,
                 {install, platform_, game_, {settings_.lobbyHost, settings_.steamClientPin}}},
                ticket, link);
}

}  // namespace quorvel
