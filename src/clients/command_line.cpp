#include "clients/command_line.hpp"

#include "common/text.hpp"

#include <cstring>

namespace quorvel {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Little-endian fields, read byte by byte so that neither alignment nor the host's byte order
// matters.
std::uint64_t readLittleEndian(std::span<const std::byte> bytes, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i > 0; --i)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[offset + i - 1]);
    return value;
}

// The arguments after the program name. `quoted` is whether a quoted stretch is open; a run of
// backslashes is copied as it comes and halved only when a quote follows it.
void splitRemaining(std::wstring_view text, std::size_t at, std::vector<std::wstring>& arguments) {
    while (at < text.size() && isBlank(text[at])) ++at;
    if (at == text.size()) return;
    std::wstring current;
    bool quoted = false;
    std::size_t backslashes = 0;
    while (at < text.size()) {
        const wchar_t c = text[at];
        if (isBlank(c) && !quoted) {
            arguments.push_back(std::move(current));
            current.clear();
            backslashes = 0;
            while (at < text.size() && isBlank(text[at])) ++at;
            if (at == text.size()) return;
            continue;
        }
        if (c == L'\\') {
            current.push_back(c);
            ++backslashes;
            ++at;
            continue;
        }
        if (c != L'"') {
            current.push_back(c);
            backslashes = 0;
            ++at;
            continue;
        }
        // A quote: the backslashes before it are halved; an odd one left over escapes it.
        current.resize(current.size() - backslashes / 2);
        if (backslashes % 2 == 1) {
            current.back() = L'"';
            ++at;
        } else if (quoted && at + 1 < text.size() && text[at + 1] == L'"') {
            // Inside a quoted stretch "" is a literal quote and ends the stretch.
            current.push_back(L'"');
            quoted = false;
            at += 2;
        } else {
            quoted = !quoted;
            ++at;
        }
        backslashes = 0;
    }
    arguments.push_back(std::move(current));
}

}  // namespace

std::vector<std::wstring> splitCommandLineByRules(std::wstring_view text) {
    text = text.substr(0, text.find(L'\0'));
    std::vector<std::wstring> arguments;
    std::size_t at = 0;
    if (!text.empty() && text[0] == L'"') {
        // A quoted program name ends at the next quote, whatever precedes it.
        const std::size_t close = text.find(L'"', 1);
        if (close == std::wstring_view::npos) {
            arguments.emplace_back(text.substr(1));
            return arguments;
        }
        arguments.emplace_back(text.substr(1, close - 1));
        at = close + 1;
    } else {
        while (at < text.size() && !isBlank(text[at])) ++at;
        arguments.emplace_back(text.substr(0, at));
    }
    splitRemaining(text, at, arguments);
    return arguments;
}

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
