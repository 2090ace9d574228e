#pragma once
// Splitting command lines by Windows' argument rules, and reading another process's command line
// out of the block the platform hands back.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

inline constexpr const char* kCommandLineSplitFailed = "无法读取进程参数";

// The platform's split: CommandLineToArgvW on Windows (command_line_win32.cpp), the rules below
// elsewhere (command_line_posix.cpp). Fails with kCommandLineSplitFailed when the platform
// cannot split. The text ends at its first NUL, as the platform call sees it. An empty text gives
// one empty argument in both builds (the platform call alone would give the caller's own path).
std::vector<std::wstring> splitCommandLine(const std::wstring& text);

// CommandLineToArgvW's rules, reimplemented: the program name runs to the first space or tab
// (or, quoted, to the next quote, backslashes literal); then arguments are separated by spaces
// and tabs outside quotes; 2n backslashes before a quote give n and the quote toggles quoting,
// 2n+1 give n and a literal quote; inside quotes `""` gives a literal quote and ends the quoted
// stretch (the older rule, which Windows' function documents). An empty text gives one empty
// argument.
std::vector<std::wstring> splitCommandLineByRules(std::wstring_view text);

// Bounds of the command-line block's size as the probe reports it.
inline constexpr std::uint32_t kMinCommandLineBlock = 16;
inline constexpr std::uint32_t kMaxCommandLineBlock = 1'048'576;

// The text of a command-line block: a header (u16 Length in bytes, u16 capacity, 4 bytes of
// padding, u64 Buffer address) followed by the characters. `base` is the address at which
// `block` lies in the reading process. Nothing when the header does not describe a range inside
// the block (Buffer below the block, odd Length, or Buffer + Length beyond its end) or the block
// is shorter than the header.
std::optional<std::wstring> commandLineFromBlock(std::span<const std::byte> block, std::uint64_t base);

}  // namespace quorvel
