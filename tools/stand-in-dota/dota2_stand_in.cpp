// A stand-in for the game's client, built as dota2.exe for the Windows tests: it shows the windows
// it is asked for, answers WM_CLOSE like the game (or ignores it), records what it received, and
// ignores the game's own launch arguments wherever they appear. Options: tools/README.md.
#include "../start_record/start_record_win32.hpp"
#include "common/scoped_handle_win32.hpp"

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using quorvel::ScopedKernelHandle;
using quorvel::ScopedLocalMemory;

constexpr wchar_t kClassName[] = L"QuorvelDotaStandIn";
constexpr int kClosedExitCode = 0;
constexpr int kTimerExitCode = 2;
constexpr int kUsageExitCode = 3;

struct Options {
    std::vector<std::wstring> titles;
    bool noWindow = false;
    bool minimised = false;
    bool hidden = false;
    bool ignoreClose = false;
    std::wstring record;
    std::wstring readyEvent;
    UINT exitAfterMs = 0;
};

Options options;

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// Appends one line and closes the file again, so that a test can read it at any moment.
void record(const std::wstring& line) {
    if (options.record.empty()) return;
    const ScopedKernelHandle file(CreateFileW(options.record.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string bytes = utf8(line) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

[[noreturn]] void finish(int code) {
    record(L"exit " + std::to_wstring(code));
    ExitProcess(static_cast<UINT>(code));
}

// The record file named by `record=PATH` in dota2-knobs.txt beside the program (UTF-8), so that a
// client started by Steam, which passes only the game's arguments, records as well.
std::wstring recordKnob() {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring knobs(self, length);
    knobs.erase(knobs.find_last_of(L"\\/") + 1);
    knobs += L"dota2-knobs.txt";
    std::ifstream in(knobs.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("record=", 0) != 0) continue;
        const std::string value = line.substr(7);
        const int size = MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), wide.data(), size);
        return wide;
    }
    return {};
}

// Our options begin with two dashes; everything else (-tools, -addon X, +connect X, ...) is the
// game's and passes unread.
bool parse(const std::vector<std::wstring>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == L"--title" && hasValue) {
            options.titles.push_back(arguments[++i]);
        } else if (argument == L"--record" && hasValue) {
            options.record = arguments[++i];
        } else if (argument == L"--ready-event" && hasValue) {
            options.readyEvent = arguments[++i];
        } else if (argument == L"--exit-after" && hasValue) {
            options.exitAfterMs = static_cast<UINT>(std::wcstoul(arguments[++i].c_str(), nullptr, 10));
        } else if (argument == L"--no-window") {
            options.noWindow = true;
        } else if (argument == L"--minimised") {
            options.minimised = true;
        } else if (argument == L"--hidden") {
            options.hidden = true;
        } else if (argument == L"--ignore-close") {
            options.ignoreClose = true;
        } else if (argument == L"--title" || argument == L"--record" || argument == L"--ready-event" ||
                   argument == L"--exit-after") {
            return false;
        }
    }
    if (options.record.empty()) options.record = recordKnob();
    if (options.titles.empty() && !options.noWindow) options.titles.push_back(L"Dota 2");
    if (options.noWindow) options.titles.clear();
    return true;
}

std::wstring titleOf(HWND window) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return title;
}

// The window says what it is and how it was started, so that a screenshot of the desktop shows
// which program is in front and with which arguments Steam started it.
void paint(HWND window) {
    PAINTSTRUCT paintStruct;
    const HDC dc = BeginPaint(window, &paintStruct);
    if (dc == nullptr) return;
    RECT area{};
    GetClientRect(window, &area);
    InflateRect(&area, -8, -8);
    // The DC's own font and colours (user32 only: the program links no gdi32).
    const std::wstring text =
        L"dota2.exe (the stand-in Dota 2 client)\r\n\r\nCommand line:\r\n" + std::wstring(GetCommandLineW());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    EndPaint(window, &paintStruct);
}

// The game closes as a whole when its window is asked to. Ending the process rather than
// destroying the window also spares the two seconds Wine waits for a window manager that bare
// Xvfb does not have before it lets a shown window go.
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paint(window);
        return 0;
    }
    if (message == WM_CLOSE) {
        record(L"close " + titleOf(window));
        if (!options.ignoreClose) finish(kClosedExitCode);
        return 0;
    }
    // Activation is how a raise shows from inside: restoring and bringing to the foreground.
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) record(L"activate " + titleOf(window));
    return DefWindowProcW(window, message, wParam, lParam);
}

void openWindow(HINSTANCE instance, const std::wstring& title) {
    const HWND window = CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                        320, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        // Wine creates no window without an X display.
        record(L"no-window " + title);
        return;
    }
    if (options.hidden) return;
    ShowWindow(window, options.minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before any window: a client that arrived here and then never recorded its start hung or died
    // in its window's creation, not in Wine's start of the process.
    quorvel::start_record::arrived();
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
    if (raw == nullptr) return kUsageExitCode;
    const ScopedLocalMemory owned(reinterpret_cast<HLOCAL>(raw));
    if (!parse(std::vector<std::wstring>(raw, raw + count))) return kUsageExitCode;

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    for (const std::wstring& title : options.titles) openWindow(instance, title);
    // Both once the windows exist, so that a test that sees them can look for the windows.
    record(std::wstring(L"start ") + GetCommandLineW());
    if (!options.readyEvent.empty()) {
        const ScopedKernelHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, options.readyEvent.c_str()));
        if (ready) SetEvent(ready.get());
    }

    if (options.exitAfterMs > 0) SetTimer(nullptr, 0, options.exitAfterMs, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) finish(kTimerExitCode);
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    finish(kClosedExitCode);
}
