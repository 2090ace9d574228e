// Linked into programs built with QUORVEL_STEAM_CLIENT_PIN=production, and into the test programs.
#include "launch/steam_client_pin.hpp"

namespace quorvel {

const SteamClientPin& builtInSteamClientPin() {
    return kProductionSteamClientPin;
}

}  // namespace quorvel
