#pragma once

#include "platform/clock.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace quorvel {

// The connection record the lobby returns for a Ticket, as validateEntry reads it: the members
// the join uses, typed, and the answer itself, which requireSameEntry compares.
struct Entry {
    std::string serverSteamId;  // the connect target, "[A:1:account:instance]", unchanged
    std::string steamId;        // the player's 64-bit Steam ID in decimal
    std::string addon;          // 1 to 100 of A-Z, a-z, 0-9 and _
    std::string map;            // likewise
    bool toolsMode = false;
    nlohmann::json json;  // the Entry as the lobby sent it
};

// Checks the eight members of a lobby answer in a fixed order against `clock`'s now and returns
// the Entry they make.
Entry validateEntry(const nlohmann::json& answer, const Clock& clock);

// Validates `second` and requires it to describe the same connection as `first` (every member
// but `expiresAt`); returns the Entry `second` makes.
Entry requireSameEntry(const Entry& first, const nlohmann::json& second, const Clock& clock);

}  // namespace quorvel
