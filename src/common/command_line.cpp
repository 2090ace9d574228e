#include "common/command_line.hpp"

namespace quorvel {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
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

std::wstring quoteArgument(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 2);
    out.push_back(L'"');
    std::size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            out.append(2 * backslashes + 1, L'\\');
            out.push_back(c);
            backslashes = 0;
        } else {
            out.append(backslashes, L'\\');
            out.push_back(c);
            backslashes = 0;
        }
    }
    out.append(2 * backslashes, L'\\');
    out.push_back(L'"');
    return out;
}

std::wstring buildCommandLine(const std::filesystem::path& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = quoteArgument(program.wstring());
    for (const std::wstring& argument : arguments) {
        line.push_back(L' ');
        line += quoteArgument(argument);
    }
    return line;
}

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

}  // namespace quorvel
