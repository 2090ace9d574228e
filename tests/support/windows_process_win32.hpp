#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::testing {

// The path of the build folder as Windows programs under Wine see it.
std::filesystem::path buildFolder();

struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
};

struct ChildOutcome {
    unsigned long exitCode = 0;
    bool timedOut = false;
    std::vector<MessageBoxSeen> boxes;  // message boxes the child showed, each answered with OK
};

// Starts `exe` with `arguments` (already quoted) in `folder`, answers every message box it shows
// with OK, and waits for it to end (killing it after `timeoutMs`).
ChildOutcome runChild(const std::filesystem::path& exe, const std::wstring& arguments,
                      const std::filesystem::path& folder, unsigned long timeoutMs = 30'000);

// Starts `commandLine` as the shell does, the program being its first word (CreateProcessW with
// no application name), and otherwise as runChild.
ChildOutcome runCommandLine(const std::wstring& commandLine, const std::filesystem::path& folder,
                            unsigned long timeoutMs = 30'000);

// The first top-level window of process `pid` with class `className` (only a visible one when
// `visibleOnly`), or null.
HWND findWindowOfProcess(unsigned long pid, const std::wstring& className, bool visibleOnly);

// Whether windows can be created here (Wine needs an X display).
bool haveDisplay();

}  // namespace quorvel::testing
