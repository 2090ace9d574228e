#pragma once

#include <cstdint>
#include <istream>
#include <string_view>
#include <vector>

namespace quorvel {

// Archive volumes a VPK directory refers to, ascending, each once.
using ArchiveIndices = std::vector<std::uint16_t>;

inline constexpr std::uint32_t kVpkSignature = 0x55AA1234;
inline constexpr std::uint32_t kVpkMaxTreeSize = 67'108'864;
inline constexpr std::uint16_t kVpkInDirectory = 0x7FFF;  // archive index of data kept in the directory file

// Reads the directory file at the start of `in` (binary) and scans its tree for `mapName`.
// Fails with one of the VPK messages, or with "地图名不存在于 VPK 中" when the map is not listed.
ArchiveIndices readVpkDirectory(std::istream& in, std::string_view mapName);

// Walks the tree bytes once: collects the archive index of every entry with data outside the
// directory file and requires an entry `vpk` / `maps` / `mapName`.
ArchiveIndices scanVpkTree(std::string_view tree, std::string_view mapName);

}  // namespace quorvel
