// Linked into programs built to accept the stand-in library of tools/steam_stand_in; the header is
// generated from that library when it is built.
#include "launch/steam_client_pin.hpp"
#include "stand_in_steam_client_pin.hpp"

namespace quorvel {

const SteamClientPin& builtInSteamClientPin() {
    return config::kStandInSteamClientPin;
}

}  // namespace quorvel
