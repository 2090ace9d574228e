#pragma once

#include "common/clock.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace quorvel {

// The connection record the lobby returns for a Ticket. Checks the eight members in a fixed
// order against `clock`'s now and returns the connect target, `serverSteamId`, unchanged.
std::string validateEntry(const nlohmann::json& answer, const Clock& clock);

// Validates `second` and requires it to describe the same connection as `first` (every member
// but `expiresAt`).
void requireSameEntry(const nlohmann::json& first, const nlohmann::json& second, const Clock& clock);

}  // namespace quorvel
