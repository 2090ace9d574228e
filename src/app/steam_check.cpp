#include "app/steam_check.hpp"

#include "app/result_file.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace quorvel {

void runSteamCheck(const SteamEngineAccess& access, const ProgramLocations& locations) {
    runSteamCheck(access, locations, builtInSteamClientPin());
}

void runSteamCheck(const SteamEngineAccess& access, const ProgramLocations& locations, const SteamClientPin& pin) {
    SteamEngineSession session = openSteamEngine(access, pin);
    // Written only once every check has passed, so the library's digest is the pin's.
    writeResultFile(
        "native-steam-check.json",
        nlohmann::json{{"compatible", true}, {"dllSha256", std::string(pin.digest)}, {"notificationSent", false}},
        locations);
    closeSteamEngine(session);
}

}  // namespace quorvel
