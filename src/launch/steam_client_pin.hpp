#pragma once
// SteamClientPin: the one build of Steam's client library that the silent connect accepts, by its
// digest and the places of the operations it calls.

#include <cstdint>
#include <string_view>

namespace quorvel {

struct SteamClientPin {
    // SHA-256 of the library file, 64 lower-case hexadecimal characters.
    std::string_view digest;
    // Distance of each operation called from the library's load address.
    std::uint64_t openConnection;     // engine, position 0
    std::uint64_t releaseConnection;  // engine, position 1
    std::uint64_t attachUser;         // engine, position 3
    std::uint64_t releaseUser;        // engine, position 6
    std::uint64_t gameRequests;       // engine, position 13
    std::uint64_t connectRequest;     // game requests, position 193
};

// The build of Steam's client library that players have.
inline constexpr SteamClientPin kProductionSteamClientPin{
    "caba4826aa3501039d095aee1843a6bfb270fb43a3ab4455b2d6733223579fee",
    0x970700,
    0x96F880,
    0x96FBE0,
    0x973BD0,
    0x971390,
    0x842A60,
};

// The pin this program was built with (the CMake setting QUORVEL_STEAM_CLIENT_PIN): the
// production pin, or in a test build the stand-in library's. Defined by the build's choice of
// steam_client_pin_production.cpp or steam_client_pin_stand_in.cpp.
const SteamClientPin& builtInSteamClientPin();

}  // namespace quorvel
