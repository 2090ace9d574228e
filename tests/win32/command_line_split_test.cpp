// splitCommandLine is CommandLineToArgvW; splitCommandLineByRules must split exactly as it does.
#include "common/command_line.hpp"
#include "common/text.hpp"
#include "platform/command_line.hpp"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace quorvel {
namespace {

using Arguments = std::vector<std::wstring>;

// A readable form of a command line or argument: printable ASCII as is, the rest as \u{…}.
std::string shown(const std::wstring& text) {
    std::ostringstream out;
    for (const wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out << static_cast<char>(c);
        } else {
            out << "\\u{" << std::hex << static_cast<unsigned>(c) << std::dec << "}";
        }
    }
    return out.str();
}

std::string shown(const Arguments& arguments) {
    std::string out = "[";
    for (const std::wstring& argument : arguments) out += (out.size() > 1 ? ", <" : "<") + shown(argument) + ">";
    return out + "]";
}

TEST(CommandLineSplitWin32, PlatformSplitsAsDocumented) {
    struct Case {
        std::wstring text;
        Arguments expected;
    };
    const Case cases[] = {
        {L"\"abc\" d e", {L"abc", L"d", L"e"}},
        {L"p a\\\\\\b d\"e f\"g h", {L"p", L"a\\\\\\b", L"de fg", L"h"}},
        {L"p a\\\\\\\"b c d", {L"p", L"a\\\"b", L"c", L"d"}},
        {L"p a\\\\\\\\\"b c\" d e", {L"p", L"a\\\\b c", L"d", L"e"}},
        // Inside a quoted stretch "" gives one quote and ends the stretch.
        {L"p \"a\"\"b c\"", {L"p", L"a\"b", L"c"}},
        {L"p \"\"\"", {L"p", L"\""}},
        {L"p a\"b\"\" c d", {L"p", L"ab\"", L"c", L"d"}},
        // The program name: to the next quote when quoted, backslashes literal; to the first
        // space or tab otherwise, quotes literal.
        {L"\"C:\\Program Files\\x\\\" y", {L"C:\\Program Files\\x\\", L"y"}},
        {L"\"a b\"c d", {L"a b", L"c", L"d"}},
        {L"a\"b c", {L"a\"b", L"c"}},
        {L" a", {L"", L"a"}},
        {L"p \"\" \"\"", {L"p", L"", L""}},
        {L"p \"unclosed  stretch", {L"p", L"unclosed  stretch"}},
        {L"p\t\ta\t", {L"p", L"a"}},
        {L"p -名前 \"中 文\"", {L"p", L"-名前", L"中 文"}},
        // The platform reads up to the first NUL.
        {std::wstring(L"p a\0b", 5), {L"p", L"a"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitCommandLine(c.text), c.expected) << shown(c.text);
    }
}

// A generator of command lines made of what the rules treat specially: runs of spaces and tabs,
// quotes and backslashes (before quotes and elsewhere), empty arguments, "" inside quoted
// stretches, and characters beyond ASCII (a surrogate pair among them).
class CommandLineGenerator {
public:
    explicit CommandLineGenerator(std::uint32_t seed) : random_(seed) {}

    std::wstring next() {
        std::wstring text = programName();
        for (int pieces = below(14); pieces > 0; --pieces) appendPiece(text);
        return text.empty() ? L"p" : text;
    }

private:
    int below(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
    wchar_t pick(std::wstring_view from) { return from[below(static_cast<int>(from.size()))]; }

    // Control characters stay out of the program name: Windows is reported to end an unquoted
    // program name at any character up to U+0020, Wine only at a space or a tab, and the rules
    // take the space and the tab. Later arguments are split at spaces and tabs only, by both.
    std::wstring programName() {
        std::wstring name;
        switch (below(5)) {
            case 0:  // none: the command line begins with a space or a tab
                name.push_back(pick(L" \t"));
                break;
            case 1:
            case 2:
                for (int n = 1 + below(6); n > 0; --n) name.push_back(pick(L"ab\\\"é中."));
                break;
            default:
                name.push_back(L'"');
                for (int n = below(8); n > 0; --n) name.push_back(pick(L"a \t\\中"));
                if (below(4) != 0) name.push_back(L'"');
                if (below(3) == 0) name.push_back(pick(L"b\"\\"));
                break;
        }
        return name;
    }

    void appendPiece(std::wstring& text) {
        const int run = 1 + below(4);
        switch (below(8)) {
            case 0:
            case 1:
                for (int n = 0; n < run; ++n) text.push_back(pick(L" \t"));
                break;
            case 2:
                text.append(run, L'\\');
                if (below(2) == 0) text.push_back(L'"');
                break;
            case 3:
                text.append(run, L'"');
                break;
            case 4:
                text += L" \"\"";  // an empty argument
                break;
            case 5:
                text += L"\"a\"\"b";  // "" inside a quoted stretch
                break;
            case 6:
                for (int n = 0; n < run; ++n) {
                    if (below(4) == 0) {
                        text += L"\U0001F600";
                    } else {
                        text.push_back(pick(L"é中\x0B\n"));
                    }
                }
                break;
            default:
                for (int n = 0; n < run; ++n) text.push_back(pick(L"aZ-+:[]"));
                break;
        }
    }

    std::mt19937 random_;
};

TEST(CommandLineSplitWin32, RulesAgreeWithThePlatformOnGeneratedCommandLines) {
    constexpr std::uint32_t kSeed = 20261210;
    constexpr int kCount = 20'000;
    CommandLineGenerator generator(kSeed);
    int disagreements = 0;
    for (int i = 0; i < kCount; ++i) {
        const std::wstring text = generator.next();
        const Arguments platform = splitCommandLine(text);
        const Arguments rules = splitCommandLineByRules(text);
        if (platform == rules) continue;
        if (++disagreements <= 20) {
            ADD_FAILURE() << "command line " << i << " of seed " << kSeed << ": " << shown(text)
                          << "\n  CommandLineToArgvW: " << shown(platform)
                          << "\n  rules:              " << shown(rules);
        }
    }
    EXPECT_EQ(disagreements, 0) << "of " << kCount << " command lines";
}

}  // namespace
}  // namespace quorvel
