#pragma once

#include "platform/files.hpp"

#include <filesystem>
#include <string>

namespace quorvel {

// Proves that the map the Entry names (its `addon`, `map` and `toolsMode`) is on disk under the
// Dota root, as a local addon in tools mode or as a workshop item otherwise, together with every
// archive volume its package refers to. Changes nothing; fails with the first problem found.
void checkMapResources(const std::filesystem::path& dotaRoot, const std::string& addon, const std::string& map,
                       bool toolsMode, Files& files);

}  // namespace quorvel
