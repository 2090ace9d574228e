// Any bytes as a command-line block: the first eight give the address the block is read at, the
// rest is the block, copied to an allocation of exactly its size so that any read outside it is
// caught. A block is accepted exactly when its header describes an even range inside it, and the
// text is then those UTF-16 units; the text and the input itself are split by the platform's
// rules, which must never fail.
#include "clients/command_line.hpp"
#include "common/command_line.hpp"
#include "common/text.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace {

void checkSplit(std::wstring_view text) {
    const std::vector<std::wstring> arguments = quorvel::splitCommandLineByRules(text);
    if (arguments.empty()) std::abort();
    std::size_t total = 0;
    for (const std::wstring& argument : arguments) total += argument.size();
    // Every character of an argument comes from one character of the text.
    if (total > text.size()) std::abort();
}

std::uint64_t field(const std::byte* bytes, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::to_integer<std::uint64_t>(bytes[i]) << (8 * i);
    return value;
}

// The text the header describes when it lies in the block, computed with 128-bit sums so that
// no address can wrap.
std::optional<std::wstring> expectedText(std::span<const std::byte> block, std::uint64_t base) {
    if (block.size() < 16) return std::nullopt;
    const std::uint64_t length = field(block.data(), 2);
    const std::uint64_t buffer = field(block.data() + 8, 8);
    if (length % 2 != 0 || buffer < base) return std::nullopt;
    const unsigned __int128 end = static_cast<unsigned __int128>(buffer) + length;
    if (end > static_cast<unsigned __int128>(base) + block.size()) return std::nullopt;
    std::u16string units;
    for (std::uint64_t at = buffer - base; at < buffer - base + length; at += 2)
        units.push_back(static_cast<char16_t>(field(block.data() + at, 2)));
    return quorvel::fromUtf16(units);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    std::uint64_t base = 0;
    for (std::size_t i = 0; i < 8; ++i) base |= static_cast<std::uint64_t>(data[i]) << (8 * i);
    const std::size_t blockSize = size - 8;
    const std::unique_ptr<std::byte[]> block(new std::byte[blockSize]);
    if (blockSize > 0) std::memcpy(block.get(), data + 8, blockSize);
    const std::span<const std::byte> bytes(block.get(), blockSize);

    const std::optional<std::wstring> text = quorvel::commandLineFromBlock(bytes, base);
    if (text != expectedText(bytes, base)) std::abort();
    if (text) {
        if (text->size() * 2 > blockSize) std::abort();
        checkSplit(*text);
    }
    // The same block read where it really lies.
    const auto real = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block.get()));
    if (quorvel::commandLineFromBlock(bytes, real) != expectedText(bytes, real)) std::abort();

    std::wstring units;
    for (std::size_t i = 8; i + 1 < size; i += 2) units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    checkSplit(units);
    return 0;
}
