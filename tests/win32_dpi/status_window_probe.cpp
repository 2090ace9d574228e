// Shows the Status window in a process of its own, which takes the display's DPI of its Wine
// prefix at its start, and writes the window's measures to a file:
//   status_window_probe OUT [TEXT]
// OUT gets one line "dpi width height left top width height fontHeight" (the outer window's
// size, then the text control's rectangle in the client area). With TEXT the window shows TEXT
// and stays until OUT is removed (at most a minute), for a screenshot; without it the window
// closes at once; TEXT "--installed" stands for the longest text the window shows, the one after
// an install. Exit code 0 when the window was measured, 1 otherwise.
#include "app/join_mode.hpp"
#include "app/join_platform_win32.hpp"
#include "support/status_window_look_win32.hpp"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kPollMs = 20;
constexpr int kPollRounds = 3'000;  // a minute

HWND ownStatusWindow() {
    for (int round = 0; round < kPollRounds; ++round) {
        for (HWND window = FindWindowExW(nullptr, nullptr, quorvel::kStatusWindowClass, nullptr); window != nullptr;
             window = FindWindowExW(nullptr, window, quorvel::kStatusWindowClass, nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == GetCurrentProcessId() && quorvel::testing::statusTextControlOf(window) != nullptr) return window;
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

bool showsText(HWND control, const std::wstring& text) {
    wchar_t buffer[1'024] = {};
    GetWindowTextW(control, buffer, 1'024);
    return text == buffer;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (__argc < 2) return 2;
    const std::wstring out = __wargv[1];
    const bool hold = __argc >= 3;
    const std::wstring text = !hold ? L"" : std::wstring(__wargv[2]) == L"--installed" ? quorvel::kInstalled : __wargv[2];
    bool measured = false;
    quorvel::Win32JoinPlatform platform(instance);
    platform.runStatusWindow([&](quorvel::StatusSink& sink) {
        const HWND window = ownStatusWindow();
        if (window == nullptr) return sink.finish(quorvel::FinishMode::closeNow);
        if (hold) {
            sink.setStatusText(text);
            const HWND control = quorvel::testing::statusTextControlOf(window);
            for (int round = 0; round < kPollRounds && !showsText(control, text); ++round) Sleep(kPollMs);
        }
        const quorvel::testing::StatusWindowLook look = quorvel::testing::lookOf(window);
        if (FILE* file = _wfopen(out.c_str(), L"w")) {
            std::fprintf(file, "%u %ld %ld %ld %ld %ld %ld %ld\n", look.dpi, look.outer.right - look.outer.left,
                         look.outer.bottom - look.outer.top, look.control.left, look.control.top,
                         look.control.right - look.control.left, look.control.bottom - look.control.top,
                         look.fontHeight);
            measured = std::fclose(file) == 0;
        }
        for (int round = 0; hold && round < kPollRounds && GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES;
             ++round) {
            Sleep(kPollMs);
        }
        sink.finish(quorvel::FinishMode::closeNow);
    });
    return measured ? 0 : 1;
}
