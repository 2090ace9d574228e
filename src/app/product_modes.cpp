#include "app/product_modes.hpp"

#include "app/diagnostics.hpp"
#include "app/install_modes.hpp"
#include "app/self_test.hpp"
#include "app/steam_check.hpp"

namespace quorvel {

void ProductModes::healthCheck() {
    runHealthCheck();
}
void ProductModes::prepare(bool checkForUpdates) {
    runInstall(install_, checkForUpdates);
}
void ProductModes::selfTest() {
    const ProgramOperations operations(install_);
    quorvel::selfTest(operations, install_.clock);
}
void ProductModes::steamCheck() {
    runSteamCheck(outside_.steamEngine, locations_);
}
void ProductModes::inspect() {
    runInspect(outside_.steamRegistry, outside_.gameFiles, outside_.processes, locations_);
}
void ProductModes::registerTestProtocol() {
    runRegisterTestProtocol(install_.registry, locations_, desktop_);
}
void ProductModes::uninstall(bool quiet, const UninstallHandOff* handOff) {
    runUninstall(install_, desktop_, quiet, handOff);
}
void ProductModes::join(const std::string& ticket, const std::wstring* link) {
    runJoinMode({join_.platform, install_.locks, join_.starter, {install_, join_.world}}, ticket, link);
}

}  // namespace quorvel
