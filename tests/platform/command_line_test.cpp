// The platform's split (CommandLineToArgvW in the Windows build, the rules natively) and the rules
// themselves, on the same cases.
#include "platform/command_line.hpp"

#include "common/command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

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

}  // namespace
}  // namespace quorvel
