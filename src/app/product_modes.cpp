#include "app/product_modes.hpp"

#include "app/diagnostics.hpp"
#include "app/install_modes.hpp"
#include "app/steam_check.hpp"
#include "common/error.hpp"

namespace quorvel {
namespace {

[[noreturn]] void notAvailable(const char* mode) {
    throw UserError(std::string("The ") + mode + " mode is not available in this build yet");
}

}  // namespace

void ProductModes::healthCheck() {
    runHealthCheck();
}
void ProductModes::prepare(bool checkForUpdates) {
    runInstall(install_, checkForUpdates);
}
void ProductModes::selfTest() {
    notAvailable("--self-test");
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
void ProductModes::join(const std::string&, const std::wstring*) {
    notAvailable("join");
}

}  // namespace quorvel
