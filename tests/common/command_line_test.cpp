#include "common/command_line.hpp"

#include "common/text.hpp"
#include "platform/command_line.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvel {
namespace {

using Strings = std::vector<std::wstring>;

TEST(QuoteArgument, QuotesEveryTextAndEscapesOnlyWhatTheSplitWouldEat) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"", L"\"\""},
        {L"a", L"\"a\""},
        {L"D:\\Program Files\\Steam\\steam.exe", L"\"D:\\Program Files\\Steam\\steam.exe\""},
        {L"a\\", L"\"a\\\\\""},                    // a trailing backslash is doubled before the closing quote
        {L"a\"b", L"\"a\\\"b\""},                  // one backslash before the inner quote
        {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},      // two backslashes and a quote: five backslashes
        {L"\\\\server\\x", L"\"\\\\server\\x\""},  // backslashes not before a quote stay as they are
        {L"[A:1:123:45]", L"\"[A:1:123:45]\""},
        {L"\t \u4e2d", L"\"\t \u4e2d\""},
    };
    for (const auto& [text, quoted] : cases) {
        EXPECT_EQ(quoteArgument(text), quoted) << toNarrow(text);
    }
}

// The platform's split (CommandLineToArgvW under Windows, our rules natively) gives back exactly
// what was quoted, after a leading word, for the texts the launch quotes and for generated ones.
TEST(QuoteArgument, SplitsBackIntoExactlyTheQuotedText) {
    std::vector<std::wstring> texts{L"D:\\Program Files\\Steam\\steam.exe", L"a\\", L"a\"b", L"", L"[A:1:123:45]"};
    static constexpr wchar_t kAlphabet[] = {L'\\', L'"', L' ', L'\t', L'a', L'Z', L'-', L'\u4e2d', L'\u00e9'};
    std::mt19937 random(20261210);
    for (int i = 0; i < 5000; ++i) {
        std::wstring text(random() % 14, L' ');
        for (wchar_t& c : text) c = kAlphabet[random() % std::size(kAlphabet)];
        texts.push_back(std::move(text));
    }
    for (const std::wstring& text : texts) {
        EXPECT_EQ(splitCommandLine(L"dummy " + quoteArgument(text)), (Strings{L"dummy", text})) << toNarrow(text);
    }
}

TEST(BuildCommandLine, QuotesTheProgramAndEachArgumentJoinedBySingleSpaces) {
    EXPECT_EQ(buildCommandLine("C:/Steam/steam.exe", {L"-applaunch", L"570", L"+connect", L"[A:1:123:45]"}),
              L"\"C:/Steam/steam.exe\" \"-applaunch\" \"570\" \"+connect\" \"[A:1:123:45]\"");
    EXPECT_EQ(buildCommandLine("p", {}), L"\"p\"");
    EXPECT_EQ(buildCommandLine("p", {L""}), L"\"p\" \"\"");
}

}  // namespace
}  // namespace quorvel
