#include "support/windows_process_win32.hpp"

#include "../../tools/start_record/start_record_win32.hpp"
#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <stdexcept>

namespace quorvel::testing {
namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

struct Search {
    DWORD pid;
    const std::wstring& className;
    bool visibleOnly;
    HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->pid) return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(hwnd, className, 64);
    if (className != search->className || (search->visibleOnly && !IsWindowVisible(hwnd))) return TRUE;
    search->found = hwnd;
    return FALSE;
}

std::wstring windowText(HWND hwnd) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(hwnd, buffer, 4096);
    return buffer;
}

ChildOutcome run(const wchar_t* application, std::wstring commandLine, const std::filesystem::path& folder,
                 unsigned long timeoutMs) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const std::wstring asGiven = commandLine;  // CreateProcessW may write into its copy
    const BOOL created = CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        folder.c_str(), &startup, &info);
    const DWORD error = created ? 0 : GetLastError();
    start_record::started(application ? application : L"", asGiven, created, info.dwProcessId, error);
    if (!created) throw std::runtime_error("CreateProcessW failed: " + std::to_string(error));
    const ScopedKernelHandle process(info.hProcess);
    const ScopedKernelHandle thread(info.hThread);
    ChildOutcome outcome;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (WaitForSingleObject(process.get(), 50) == WAIT_OBJECT_0) break;
        if (GetTickCount64() >= deadline) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 5000);
            outcome.timedOut = true;
            break;
        }
        if (HWND box = findWindowOfProcess(info.dwProcessId, L"#32770", true)) {
            HWND textControl = GetDlgItem(box, kMessageBoxTextId);
            outcome.boxes.push_back({windowText(box), textControl ? windowText(textControl) : L""});
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            // Wait for this box to go before looking for the next one.
            while (IsWindow(box) && WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT &&
                   GetTickCount64() < deadline) {
            }
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    outcome.exitCode = code;
    start_record::exited(info.dwProcessId, code);
    return outcome;
}

}  // namespace

HWND findWindowOfProcess(unsigned long pid, const std::wstring& className, bool visibleOnly) {
    Search search{pid, className, visibleOnly};
    EnumWindows(&matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::filesystem::path buildFolder() {
    std::wstring path = L"Z:";
    for (const char* p = QUORVEL_BINARY_DIR; *p; ++p) path.push_back(*p == '/' ? L'\\' : wchar_t(*p));
    return path;
}

bool haveDisplay() {
    return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0;
}

ChildOutcome runChild(const std::filesystem::path& exe, const std::wstring& arguments,
                      const std::filesystem::path& folder, unsigned long timeoutMs) {
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    return run(exe.c_str(), commandLine, folder, timeoutMs);
}

ChildOutcome runCommandLine(const std::wstring& commandLine, const std::filesystem::path& folder,
                            unsigned long timeoutMs) {
    return run(nullptr, commandLine, folder, timeoutMs);
}

}  // namespace quorvel::testing
