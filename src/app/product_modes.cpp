#include "app/product_modes.hpp"

#include "app/diagnostics.hpp"
#include "app/install_modes.hpp"
#include "app/self_test.hpp"
#include "app/steam_check.hpp"
#include "lobby/lobby_client.hpp"

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

SteamEngineAccess ProductModes::steamEngine() const {
    return SteamEngineAccess{game_.steamRegistry, platform_.files, platform_.lockedFiles, platform_.environment,
                             platform_.modules};
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
    runSteamCheck(steamEngine(), platform_.locations, settings_.steamClientPin);
}
void ProductModes::inspect() {
    runInspect(game_.steamRegistry, platform_.files, game_.processTable, platform_.locations);
}
void ProductModes::registerTestProtocol() {
    runRegisterTestProtocol(platform_.registry, platform_.locations, desktop_);
}
void ProductModes::join(const std::string& ticket, const std::wstring* link) {
    InstallSystem install = installSystem();
    const LobbyAccess lobby{platform_.transport, platform_.ticks, settings_.lobbyHost};
    const SteamEngineAccess engine = steamEngine();
    const JoinWorld world{lobby,
                          platform_.clock,
                          game_.steamRegistry,
                          platform_.files,
                          game_.processTable,
                          platform_.windows,
                          platform_.sleeper,
                          platform_.processes,
                          engine,
                          settings_.steamClientPin,
                          platform_.processes};
    runJoinMode({joinPlatform_, platform_.locks, platform_.processes, {install, world}}, ticket, link);
}

}  // namespace quorvel
