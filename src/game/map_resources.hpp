#pragma once

#include "outside/game_files.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>

namespace quorvel {

// Proves that the map the Entry names (`addon`, `map`, `toolsMode`) is on disk under the Dota
// root, as a local addon in tools mode or as a workshop item otherwise, together with every
// archive volume its package refers to. Changes nothing; fails with the first problem found.
void checkMapResources(const std::filesystem::path& dotaRoot, const nlohmann::json& entry, GameFiles& files);

}  // namespace quorvel
