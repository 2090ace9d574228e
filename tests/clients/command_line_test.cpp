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
using Arguments = std::vector<std::wstring>;

struct SplitCase {
    std::wstring text;
    Arguments expected;
};

void expectSplits(const std::vector<SplitCase>& cases) {
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(splitCommandLineByRules(text), expected) << "rules: " << ::testing::PrintToString(text);
        EXPECT_EQ(splitCommandLine(text), expected) << "platform: " << ::testing::PrintToString(text);
    }
}

// What the launcher's quoting produces for the texts it passes must come back unchanged.
TEST(SplitCommandLine, ReadsBackQuotedArguments) {
    expectSplits({
        {LR"(dummy "D:\Program Files\Steam\steam.exe")", {L"dummy", LR"(D:\Program Files\Steam\steam.exe)"}},
        {LR"(dummy a\)", {L"dummy", LR"(a\)"}},
        {LR"(dummy "a\"b")", {L"dummy", LR"(a"b)"}},
        {LR"(dummy "")", {L"dummy", L""}},
        {LR"(dummy [A:1:123:45])", {L"dummy", L"[A:1:123:45]"}},
    });
}

TEST(SplitCommandLine, HalvesBackslashesOnlyBeforeAQuote) {
    expectSplits({
        {LR"(p a\b\\c)", {L"p", LR"(a\b\\c)"}},
        {LR"(p a\\)", {L"p", LR"(a\\)"}},
        {LR"(p a\\"b c")", {L"p", LR"(a\b c)"}},
        {LR"(p a\\\\"b c")", {L"p", LR"(a\\b c)"}},
        {LR"(p a\"b c)", {L"p", LR"(a"b)", L"c"}},
        {LR"(p a\\\"b c)", {L"p", LR"(a\"b)", L"c"}},
        {LR"(p \")", {L"p", LR"(")"}},
        {LR"(p "\\")", {L"p", LR"(\)"}},
        {LR"(p "a\\\"b")", {L"p", LR"(a\"b)"}},
        {LR"(p \"" x)", {L"p", LR"(" x)"}},
    });
}

TEST(SplitCommandLine, QuotesToggleAndDoubledQuotesInsideEndTheStretch) {
    expectSplits({
        {LR"(p a"b c"d e)", {L"p", L"ab cd", L"e"}},
        {LR"(p "a""b c")", {L"p", LR"(a"b)", L"c"}},
        {LR"(p """)", {L"p", LR"(")"}},
        {LR"(p """")", {L"p", LR"(")"}},
        {LR"(p """" x)", {L"p", LR"(" x)"}},
        {LR"(p a""b)", {L"p", L"ab"}},
        {LR"(p "" "")", {L"p", L"", L""}},
        {LR"(p \"""x y)", {L"p", LR"("x)", L"y"}},
        {LR"(p "a b)", {L"p", L"a b"}},
        {L"p \"a\tb", {L"p", L"a\tb"}},
    });
}

TEST(SplitCommandLine, SeparatesBySpacesAndTabsOnly) {
    expectSplits({
        {L"p a  \t b", {L"p", L"a", L"b"}},
        {L"p\ta", {L"p", L"a"}},
        {L"p a ", {L"p", L"a"}},
        {L"p \t", {L"p"}},
        {L"p a\nb\rc\vd\fe", {L"p", L"a\nb\rc\vd\fe"}},
        {L"p \u6E38\u620F x", {L"p", L"\u6E38\u620F", L"x"}},
        {L"  p a", {L"", L"p", L"a"}},
        {L"\tp", {L"", L"p"}},
        {L" ", {L""}},
        {std::wstring(L"p a\0b c", 7), {L"p", L"a"}},
    });
}

TEST(SplitCommandLine, ReadsTheProgramNameByItsOwnRule) {
    expectSplits({
        {LR"("C:\Program Files\dota 2\" -tools)", {LR"(C:\Program Files\dota 2\)", L"-tools"}},
        {LR"("C:\a b\x.exe"-tools y)", {LR"(C:\a b\x.exe)", L"-tools", L"y"}},
        {LR"(C:\a\"b c)", {LR"(C:\a\"b)", L"c"}},
        {LR"(a"b c" d)", {LR"(a"b)", L"c d"}},
        {LR"("unclosed name -x)", {L"unclosed name -x"}},
        {LR"("" x)", {L"", L"x"}},
        {LR"(""x y)", {L"", L"x", L"y"}},
    });
}

// CommandLineToArgvW answers an empty text with the caller's own path; both splits give one empty
// argument instead, so that another process's empty command line never names this program.
TEST(SplitCommandLine, GivesOneEmptyArgumentForAnEmptyText) {
    for (const std::wstring& text : {std::wstring(), std::wstring(L"\0 a", 3)}) {
        EXPECT_EQ(splitCommandLineByRules(text), Arguments{L""});
        EXPECT_EQ(splitCommandLine(text), Arguments{L""});
    }
}

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
