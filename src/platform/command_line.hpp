#pragma once
// The platform's split of a command line: CommandLineToArgvW on Windows (command_line_win32.cpp),
// the rules of common/command_line.hpp elsewhere (command_line_posix.cpp); and, in the Windows
// build, this process's own arguments split by the same call.

#include <string>
#include <vector>

namespace quorvel {

inline constexpr const char* kCommandLineSplitFailed = "无法读取进程参数";

// Fails with kCommandLineSplitFailed when the platform cannot split. The text ends at its first
// NUL, as the platform call sees it. An empty text gives one empty argument in both builds (the
// platform call alone would give the caller's own path).
std::vector<std::wstring> splitCommandLine(const std::wstring& text);

// This process's command line (GetCommandLineW) split by splitCommandLine, so an empty one gives
// one empty argument; fails with kCommandLineSplitFailed. Windows build only: the native build has
// no program entry.
std::vector<std::wstring> processArguments();

}  // namespace quorvel
