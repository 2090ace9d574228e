// Any bytes as a command-line block: the first eight give the address the block is read at, the
// rest is the block, copied to an allocation of exactly its size so that any read outside it is
// caught. The text, when one is accepted, must lie inside the block; it and the input itself are
// then split by the platform's rules, which must never fail.
#include "clients/command_line.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
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
    if (text) {
        if (text->size() * 2 > blockSize) std::abort();
        checkSplit(*text);
    }
    // The same block read where it really lies.
    quorvel::commandLineFromBlock(bytes, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block.get())));

    std::wstring units;
    for (std::size_t i = 8; i + 1 < size; i += 2) units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    checkSplit(units);
    return 0;
}
