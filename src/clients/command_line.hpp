#pragma once
// Reading another process's command line out of the block the platform hands back; the split of
// the text is the platform's (platform/command_line.hpp).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvel {

// Bounds of the command-line block's size as the probe reports it.
inline constexpr std::uint32_t kMinCommandLineBlock = 16;
inline constexpr std::uint32_t kMaxCommandLineBlock = 1'048'576;

// The text of a command-line block: a header (u16 Length in bytes, u16 capacity, 4 bytes of
// padding, u64 Buffer address) followed by the characters. `base` is the address at which
// `block` lies in the reading process. Nothing when the header does not describe a range inside
// the block (Buffer below the block, odd Length, or Buffer + Length beyond its end) or the block
// is shorter than the header.
std::optional<std::wstring> commandLineFromBlock(std::span<const std::byte> block, std::uint64_t base);

}  // namespace quorvel
