// click.exe: opens a join link the way the shell does and records what the helper's windows show.
// It reads the open command registered for the link's scheme, puts the link in place of %1, starts
// that command line, and then follows every status window of the helper (the first process and
// any newer build it hands over to): each text, each window's end, each process's exit code, and
// each message box one of those processes shows.
// Usage: click.exe --record FILE [--close-when-stable MS] [--timeout MS] [--run] LINK; with --run
// the argument after the options is a program started instead, with the arguments after it
// (tools/README.md).
#include "../start_record/start_record_win32.hpp"
#include "common/scoped_handle_win32.hpp"

#include <windows.h>
#include <shellapi.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using quorvel::ScopedKernelHandle;
using quorvel::ScopedLocalMemory;

constexpr wchar_t kStatusClass[] = L"TXQNativeExperiment";
constexpr DWORD kPollMs = 10;
// After the last helper process ended, a successor would have shown its window by then.
constexpr DWORD kQuietMs = 3000;
constexpr int kNoCommand = 2;
constexpr int kTimedOut = 3;
constexpr int kUsage = 4;

std::wstring recordPath;

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// One line per event, the milliseconds since the click first; line breaks inside texts escaped.
void record(DWORD startTick, const std::wstring& line) {
    std::wstring escaped;
    for (const wchar_t c : line) {
        if (c == L'\r')
            escaped += L"\\r";
        else if (c == L'\n')
            escaped += L"\\n";
        else
            escaped += c;
    }
    const ScopedKernelHandle file(CreateFileW(recordPath.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string bytes = std::to_string(GetTickCount() - startTick) + " " + utf8(escaped) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring openCommand(const std::wstring& link) {
    const std::size_t colon = link.find(L':');
    if (colon == std::wstring::npos) return {};
    const std::wstring key = L"Software\\Classes\\" + link.substr(0, colon) + L"\\shell\\open\\command";
    std::vector<wchar_t> buffer(32768);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer.data(), &size) !=
        ERROR_SUCCESS)
        return {};
    std::wstring command(buffer.data());
    const std::size_t placeholder = command.find(L"%1");
    if (placeholder == std::wstring::npos) return {};
    return command.replace(placeholder, 2, link);
}

struct Tracked {
    HWND window = nullptr;
    std::wstring text;
    bool hasText = false;
    DWORD textTick = 0;
    bool closeSent = false;
};

struct Box {
    DWORD shownTick = 0;
    bool recorded = false;
    bool answered = false;
};

struct Helper {
    ScopedKernelHandle process;
    bool ended = false;
};

std::vector<HWND> statusWindows() {
    std::vector<HWND> found;
    for (HWND window = FindWindowExW(nullptr, nullptr, kStatusClass, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, kStatusClass, nullptr))
        found.push_back(window);
    return found;
}

// Nothing once the text control has gone, as it does first while the window is destroyed.
std::optional<std::wstring> textOf(HWND window) {
    const HWND control = FindWindowExW(window, nullptr, L"STATIC", nullptr);
    if (control == nullptr) return std::nullopt;
    wchar_t text[4096] = {};
    GetWindowTextW(control, text, 4096);
    if (!IsWindow(control)) return std::nullopt;
    return std::wstring(text);
}

// The message boxes (dialog class) of the processes in `pids`.
template <typename Pids>
std::vector<HWND> boxesOf(const Pids& pids) {
    std::vector<HWND> found;
    for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pids.count(pid) != 0) found.push_back(window);
    }
    return found;
}

// An argument as CommandLineToArgvW reads it back; arguments holding quotes are not needed here.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t") == std::wstring::npos) return argument;
    return L"\"" + argument + L"\"";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
    if (raw == nullptr) return kUsage;
    const ScopedLocalMemory owned(reinterpret_cast<HLOCAL>(raw));
    const std::vector<std::wstring> args(raw, raw + count);
    DWORD closeWhenStableMs = 0;
    DWORD timeoutMs = 180'000;
    std::wstring link;
    std::vector<std::wstring> programArguments;
    bool run = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (run && !link.empty()) {
            programArguments.push_back(args[i]);
            continue;
        }
        const bool hasValue = i + 1 < args.size();
        if (args[i] == L"--record" && hasValue)
            recordPath = args[++i];
        else if (args[i] == L"--close-when-stable" && hasValue)
            closeWhenStableMs = static_cast<DWORD>(std::wcstoul(args[++i].c_str(), nullptr, 10));
        else if (args[i] == L"--timeout" && hasValue)
            timeoutMs = static_cast<DWORD>(std::wcstoul(args[++i].c_str(), nullptr, 10));
        else if (args[i] == L"--run")
            run = true;
        else
            link = args[i];
    }
    if (recordPath.empty() || link.empty()) return kUsage;
    quorvel::start_record::arrived();

    const DWORD start = GetTickCount();
    std::wstring command = run ? L"\"" + link + L"\"" : openCommand(link);
    for (const std::wstring& argument : programArguments) command += L" " + quoted(argument);
    if (command.empty()) {
        record(start, L"no-open-command");
        return kNoCommand;
    }
    record(start, L"command " + command);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const std::wstring commandLine = command;
    const BOOL created =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    const DWORD error = created ? 0 : GetLastError();
    quorvel::start_record::started(L"", commandLine, created, info.dwProcessId, error);
    if (!created) {
        record(start, L"start-failed " + std::to_wstring(error));
        return kNoCommand;
    }
    const DWORD firstPid = info.dwProcessId;
    CloseHandle(info.hThread);
    std::map<DWORD, Helper> helpers;
    helpers[info.dwProcessId].process = ScopedKernelHandle(info.hProcess);
    record(start, L"start " + std::to_wstring(info.dwProcessId));

    std::map<HWND, Tracked> windows;
    std::map<HWND, Box> boxes;
    DWORD lastEnd = 0;
    for (;;) {
        const DWORD now = GetTickCount();
        if (now - start > timeoutMs) {
            record(start, L"timeout");
            if (!helpers[firstPid].ended) quorvel::start_record::stillRunning(firstPid, now - start);
            return kTimedOut;
        }
        for (const HWND window : statusWindows()) {
            if (windows.count(window) != 0) continue;
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            windows[window].window = window;
            wchar_t title[256] = {};
            GetWindowTextW(window, title, 256);
            record(start, L"window " + std::to_wstring(pid) + L" " + title);
            if (helpers.count(pid) == 0) {
                helpers[pid].process =
                    ScopedKernelHandle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
            }
        }
        for (auto it = windows.begin(); it != windows.end();) {
            Tracked& tracked = it->second;
            if (!IsWindow(tracked.window)) {
                record(start, L"gone");
                it = windows.erase(it);
                continue;
            }
            const std::optional<std::wstring> text = textOf(tracked.window);
            if (!text) {
                ++it;
                continue;
            }
            if (!tracked.hasText || *text != tracked.text) {
                tracked.text = *text;
                tracked.hasText = true;
                tracked.textTick = now;
                tracked.closeSent = false;
                record(start, L"text " + *text);
            } else if (closeWhenStableMs > 0 && !tracked.closeSent && now - tracked.textTick >= closeWhenStableMs) {
                // The player closes a window that stays open.
                record(start, L"close");
                PostMessageW(tracked.window, WM_CLOSE, 0, 0);
                tracked.closeSent = true;
            }
            ++it;
        }
        for (const HWND box : boxesOf(helpers)) {
            Box& seen = boxes[box];
            if (seen.shownTick == 0) seen.shownTick = now;
            wchar_t text[4096] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 4096);  // a message box's text control
            if (!seen.recorded && text[0] != L'\0') {
                DWORD pid = 0;
                GetWindowThreadProcessId(box, &pid);
                wchar_t title[256] = {};
                GetWindowTextW(box, title, 256);
                record(start, L"box " + std::to_wstring(pid) + L" " + title + L": " + text);
                seen.recorded = true;
            }
            if (seen.recorded && closeWhenStableMs > 0 && !seen.answered && now - seen.shownTick >= closeWhenStableMs) {
                // The player presses OK.
                record(start, L"answer");
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                seen.answered = true;
            }
        }
        bool allEnded = true;
        for (auto& [pid, helper] : helpers) {
            if (helper.ended) continue;
            if (!helper.process || WaitForSingleObject(helper.process.get(), 0) == WAIT_OBJECT_0) {
                DWORD code = 0;
                const bool known = helper.process && GetExitCodeProcess(helper.process.get(), &code);
                record(start, L"exit " + std::to_wstring(pid) + L" " + (known ? std::to_wstring(code) : L"?"));
                if (pid == firstPid && known) quorvel::start_record::exited(pid, code);
                helper.ended = true;
                lastEnd = now;
            } else {
                allEnded = false;
            }
        }
        if (allEnded && windows.empty() && now - lastEnd >= kQuietMs) break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(kPollMs);
    }
    record(start, L"done");
    return 0;
}
