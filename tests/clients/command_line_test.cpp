#include "clients/command_line.hpp"
#include "support/fake_process_table.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace quorvel {
namespace {

using testing::utf16Units;
using testing::writeBlockHeader;
using testing::writeBlockUnits;

// A block as allocated at `base`: `size` bytes, the header, and `units` at `offset`.
std::vector<std::byte> makeBlock(std::size_t size, std::uint16_t length, std::uint64_t buffer,
                                 std::u16string_view units = {}, std::size_t offset = 16) {
    std::vector<std::byte> block(size);
    writeBlockHeader(block, length, buffer);
    writeBlockUnits(block, offset, units);
    return block;
}

TEST(CommandLineFromBlock, ReadsTheTextTheHeaderPointsAt) {
    constexpr std::uint64_t base = 0x7FF6'1234'0000;
    EXPECT_EQ(commandLineFromBlock(makeBlock(24, 6, base + 16, u"abc"), base), L"abc");
    // The text may sit anywhere inside the block, and need not fill it.
    EXPECT_EQ(commandLineFromBlock(makeBlock(64, 4, base + 40, u"xy", 40), base), L"xy");
    EXPECT_EQ(commandLineFromBlock(makeBlock(16, 0, base + 16), base), L"");
    // Characters come as UTF-16; a pair is one character natively.
    const std::optional<std::wstring> paired = commandLineFromBlock(makeBlock(22, 4, base + 16, u"\U0001F600"), base);
    ASSERT_TRUE(paired.has_value());
    EXPECT_EQ(utf16Units(*paired), u"\U0001F600");
}

TEST(CommandLineFromBlock, AcceptsOnlyRangesInsideTheBlock) {
    constexpr std::uint64_t base = 0x10000;
    constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        const char* what;
        std::vector<std::byte> block;
        std::uint64_t base;
        std::optional<std::wstring> expected;
    };
    const Case cases[] = {
        {"ends exactly at the end", makeBlock(22, 6, base + 16, u"abc"), base, L"abc"},
        {"one byte past the end", makeBlock(22, 8, base + 16, u"abc"), base, std::nullopt},
        {"starts at the end, empty", makeBlock(22, 0, base + 22), base, L""},
        {"starts past the end, empty", makeBlock(22, 0, base + 23), base, std::nullopt},
        {"odd length", makeBlock(24, 5, base + 16, u"abc"), base, std::nullopt},
        {"one byte before the block", makeBlock(24, 2, base - 1), base, std::nullopt},
        {"buffer zero", makeBlock(24, 2, 0), base, std::nullopt},
        {"buffer + length wraps", makeBlock(24, 4, top - 1), base, std::nullopt},
        {"buffer far beyond", makeBlock(24, 2, base + 0x1'0000'0000), base, std::nullopt},
        // A block at the very top of the address space: base + size itself wraps.
        {"block at the top", makeBlock(22, 6, top - 21 + 16, u"abc"), top - 21, L"abc"},
        {"block at the top, past the end", makeBlock(22, 8, top - 21 + 16, u"abc"), top - 21, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(commandLineFromBlock(c.block, c.base), c.expected) << c.what;

    const std::vector<std::byte> header = makeBlock(16, 0, base + 15);
    EXPECT_EQ(commandLineFromBlock(std::span(header).first(15), base), std::nullopt);
}

TEST(CommandLineFromBlock, ReadsTheLargestBlock) {
    constexpr std::uint64_t base = 0x20000;
    const std::u16string text(32'767, u'x');  // the longest even Length a header can carry
    const std::uint64_t buffer = base + kMaxCommandLineBlock - text.size() * 2;
    const std::vector<std::byte> block =
        makeBlock(kMaxCommandLineBlock, static_cast<std::uint16_t>(text.size() * 2), buffer, text, buffer - base);
    EXPECT_EQ(commandLineFromBlock(block, base), std::wstring(text.size(), L'x'));
}

}  // namespace
}  // namespace quorvel
