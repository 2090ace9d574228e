#pragma once
// Command lines by Windows' argument rules, with no system call: quoting arguments into one line,
// and splitting a line back into arguments.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// `text` in double quotes such that the platform's split gives back exactly `text`: backslashes
// are doubled only before a quote or the closing quote, quotes are escaped. Even an empty or
// plain text is quoted.
std::wstring quoteArgument(std::wstring_view text);

// The program path and each argument quoted and joined by single spaces.
std::wstring buildCommandLine(const std::filesystem::path& program, const std::vector<std::wstring>& arguments);

// CommandLineToArgvW's rules, reimplemented: the program name runs to the first space or tab
// (or, quoted, to the next quote, backslashes literal); then arguments are separated by spaces
// and tabs outside quotes; 2n backslashes before a quote give n and the quote toggles quoting,
// 2n+1 give n and a literal quote; inside quotes `""` gives a literal quote and ends the quoted
// stretch (the older rule, which Windows' function documents). An empty text gives one empty
// argument.
std::vector<std::wstring> splitCommandLineByRules(std::wstring_view text);

}  // namespace quorvel
