#include "common/text.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

constexpr bool kUtf16 = sizeof(wchar_t) == 2;

TEST(ToWide, DecodesWellFormedText) {
    EXPECT_EQ(toWide(""), L"");
    EXPECT_EQ(toWide("dota 2 beta"), L"dota 2 beta");
    EXPECT_EQ(toWide("\xC3\xA9"), std::wstring(1, wchar_t(0xE9)));
    EXPECT_EQ(toWide("连接"), (std::wstring{wchar_t(0x8FDE), wchar_t(0x63A5)}));
    // U+1F600 is a surrogate pair in UTF-16 and one unit in UTF-32.
    const std::wstring emoji = toWide("\xF0\x9F\x98\x80");
    if constexpr (kUtf16) {
        EXPECT_EQ(emoji, (std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}));
    } else {
        EXPECT_EQ(emoji, std::wstring(1, wchar_t(0x1F600)));
    }
    EXPECT_EQ(toWide("\xF4\x8F\xBF\xBF").size(), kUtf16 ? 2u : 1u);  // U+10FFFF, the last scalar value
}

TEST(ToWide, RejectsIllFormedUtf8) {
    const char* cases[] = {
        "\x80",  // continuation byte without a lead
        "a\xFF"
        "b",                 // byte that never occurs
        "\xC0\xAF",          // overlong '/'
        "\xC1\xBF",          // overlong
        "\xE0\x80\xAF",      // overlong three-byte form
        "\xF0\x80\x80\xAF",  // overlong four-byte form
        "\xED\xA0\x80",      // encoded high surrogate
        "\xED\xBF\xBF",      // encoded low surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80",  // lead byte beyond the range
        "\xE4\xBD",          // truncated at the end
        "\xE4\x41\x41",      // lead followed by ASCII
    };
    for (const char* bytes : cases) {
        EXPECT_EQ(testing::messageOf([&] { toWide(bytes); }), "Invalid UTF-8")
            << ::testing::PrintToString(std::string(bytes));
    }
}

TEST(ToWideLenient, ReplacesEachIllFormedByte) {
    EXPECT_EQ(toWideLenient("a\xFF"
                            "b"),
              (std::wstring{L'a', wchar_t(0xFFFD), L'b'}));
    EXPECT_EQ(toWideLenient("\xE4\xBD"), (std::wstring{wchar_t(0xFFFD), wchar_t(0xFFFD)}));
    EXPECT_EQ(toWideLenient("连接"), toWide("连接"));
}

TEST(ToNarrow, EncodesAndReplacesUnpairedSurrogates) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(toNarrow(L""), "");
    EXPECT_EQ(toNarrow(toWide("连接链接无效")), "连接链接无效");
    EXPECT_EQ(toNarrow(toWide("\xF0\x9F\x98\x80")), "\xF0\x9F\x98\x80");

    struct Case {
        std::wstring input;
        std::string expected;
    };
    const Case cases[] = {
        {{wchar_t(0xD800)}, replacement},              // lone high surrogate
        {{wchar_t(0xDC00)}, replacement},              // lone low surrogate
        {{wchar_t(0xD83D), L'x'}, replacement + "x"},  // high followed by a non-surrogate
        {{L'a', wchar_t(0xDE00), wchar_t(0xD83D)}, "a" + replacement + replacement},  // reversed pair
    };
    for (const Case& c : cases) EXPECT_EQ(toNarrow(c.input), c.expected);
}

TEST(FromUtf16, KeepsEveryUnitOrItsCodePoint) {
    struct Case {
        std::u16string units;
        std::wstring utf16;  // the result on Windows
        std::wstring utf32;  // the result elsewhere
    };
    const Case cases[] = {
        {u"", L"", L""},
        {u"dota2.exe -tools", L"dota2.exe -tools", L"dota2.exe -tools"},
        {u"\u6E38\u620F", L"\u6E38\u620F", L"\u6E38\u620F"},
        {{char16_t(0xD83D), char16_t(0xDE00)}, {wchar_t(0xD83D), wchar_t(0xDE00)}, {wchar_t(0x1F600)}},
        // Unpaired surrogates stay as they are, wherever they stand.
        {{char16_t(0xDE00), char16_t(0xD83D)}, {wchar_t(0xDE00), wchar_t(0xD83D)}, {wchar_t(0xDE00), wchar_t(0xD83D)}},
        {{u'a', char16_t(0xD800)}, {L'a', wchar_t(0xD800)}, {L'a', wchar_t(0xD800)}},
        {{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)},
         {wchar_t(0xD800), wchar_t(0xD800), wchar_t(0xDC00)},
         {wchar_t(0xD800), wchar_t(0x10000)}},
        {{char16_t(0xDBFF), char16_t(0xDFFF), u'\0', u'x'},
         {wchar_t(0xDBFF), wchar_t(0xDFFF), L'\0', L'x'},
         {wchar_t(0x10FFFF), L'\0', L'x'}},
    };
    for (const Case& c : cases) EXPECT_EQ(fromUtf16(c.units), kUtf16 ? c.utf16 : c.utf32);
}

// The same table holds in both builds: only `A`-`Z` fold.
TEST(LowerCopy, FoldsAsciiLettersOnlyInBothBuilds) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"DOTA2.EXE", "dota2.exe"},
        {"Steam\\Steam.EXE", "steam\\steam.exe"},
        {"-DEDICATED -Tools -AddOn", "-dedicated -tools -addon"},
        {"AZaz@[`{", "azaz@[`{"},  // the neighbours of both alphabets stay
        {"0123 !#$%&'()*+,-./:;<=>?\\]^_|}~", "0123 !#$%&'()*+,-./:;<=>?\\]^_|}~"},
        {"连接链接 Dota", "连接链接 dota"},
        // Letters beyond ASCII stay as they are, those that Unicode folds to ASCII letters first:
        // U+0130 (to i), the Kelvin sign (to k), the Angstrom sign (to U+00E5).
        {"-ded\u0130cated", "-ded\u0130cated"},
        {"\u212Aarena", "\u212Aarena"},
        {"\u212B \u2126", "\u212B \u2126"},
        {"ÉCOLE À ØÞ", "École À ØÞ"},
        {"ĀŁḀ ΣΑΩ ДЁЖ ԱԲ", "ĀŁḀ ΣΑΩ ДЁЖ ԱԲ"},
        {"ＡＺ ⅫⒶ \u01C5 \u03F4 \u1E9E", "ＡＺ ⅫⒶ \u01C5 \u03F4 \u1E9E"},
        {"\U00010400A", "\U00010400a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toNarrow(lowerCopy(toWide(c.input))), c.expected) << c.input;
    }
    const std::wstring lone{wchar_t(0xD800), L'A'};
    EXPECT_EQ(lowerCopy(lone), (std::wstring{wchar_t(0xD800), L'a'}));
}

}  // namespace
}  // namespace quorvel
