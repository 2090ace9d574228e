#include "clients/command_line.hpp"

#include "common/text.hpp"

#include <cstring>

namespace quorvel {
namespace {

// Little-endian fields, read byte by byte so that neither alignment nor the host's byte order
// matters.
std::uint64_t readLittleEndian(std::span<const std::byte> bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i > 0; --i)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[offset + i - 1]);
    return value;
}

}  // namespace

std::optional<std::wstring> commandLineFromBlock(std::span<const std::byte> block, std::uint64_t base) {
    constexpr std::size_t kHeaderSize = 16;
    if (block.size() < kHeaderSize) return std::nullopt;
    const std::uint64_t length = readLittleEndian(block, 0, 2);
    const std::uint64_t buffer = readLittleEndian(block, 8, 8);
    if (buffer < base || length % 2 != 0) return std::nullopt;
    // Offsets within the block rather than addresses, so that nothing can wrap around.
    const std::uint64_t offset = buffer - base;
    if (offset > block.size() || length > block.size() - offset) return std::nullopt;
    std::u16string units(length / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(readLittleEndian(block, offset + 2 * i, 2));
    }
    return fromUtf16(units);
}

}  // namespace quorvel
