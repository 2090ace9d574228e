// The start record of the test world: every program that the stand-ins, click.exe and the Windows
// test support start is written down, with what was started, the result of CreateProcessW and
// GetLastError, and the child's exit code once the starter knows it; a stand-in also writes down
// that it arrived at its first instruction. One JSON object a line, appended at once to the file
// named by the environment variable QUORVEL_START_RECORD (nothing is written when it is unset), so
// that a start that Wine failed can be told from a program that started and then went wrong.
// Format: tools/README.md ("The start record").
#pragma once

#include <windows.h>

#include <string>

namespace quorvel::start_record {

inline std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// A JSON string literal of `text` (UTF-8).
inline std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            wsprintfA(escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

inline std::string quoted(const std::wstring& text) {
    return quoted(utf8(text));
}

// This program's file name (steam.exe, click.exe, ...).
inline std::string selfName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    return utf8(name);
}

// Milliseconds since 1970 (the same clock across the processes of a prefix, and the host's).
inline unsigned long long nowMs() {
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks / 10'000 - 11'644'473'600'000ULL;
}

// Appends one record: {"ms":…,"by":…,"pid":…,"event":EVENT,<fields>}; `fields` is JSON members
// without the braces, or empty. GetLastError is left as it was.
inline void write(const char* event, const std::string& fields) {
    const DWORD savedError = GetLastError();
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUORVEL_START_RECORD", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        std::string line = "{\"ms\":" + std::to_string(nowMs()) + ",\"by\":" + quoted(selfName()) +
                           ",\"pid\":" + std::to_string(GetCurrentProcessId()) + ",\"event\":\"" + event + "\"";
        if (!fields.empty()) line += "," + fields;
        line += "}\n";
        const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
        }
    }
    SetLastError(savedError);
}

// The program has reached its own code: {"event":"arrived","commandLine":…}.
inline void arrived() {
    write("arrived", "\"commandLine\":" + quoted(std::wstring(GetCommandLineW())));
}

// CreateProcessW's result for `program` (may be empty: the first word of `commandLine`):
// {"event":"start","program":…,"commandLine":…,"created":true,"child":PID} or
// {"event":"start",…,"created":false,"error":E}, E being GetLastError() right after the call.
inline void started(const std::wstring& program, const std::wstring& commandLine, bool created, DWORD childPid,
                    DWORD error) {
    std::string fields = "\"program\":" + quoted(program) + ",\"commandLine\":" + quoted(commandLine) +
                         ",\"created\":" + (created ? "true" : "false");
    fields += created ? ",\"child\":" + std::to_string(childPid) : ",\"error\":" + std::to_string(error);
    write("start", fields);
}

// The started child's end: {"event":"exit","child":PID,"code":CODE}.
inline void exited(DWORD childPid, DWORD code) {
    write("exit", "\"child\":" + std::to_string(childPid) + ",\"code\":" + std::to_string(code));
}

// The starter stopped waiting for a child that still runs: {"event":"running","child":PID,"afterMs":MS}.
inline void stillRunning(DWORD childPid, DWORD afterMs) {
    write("running", "\"child\":" + std::to_string(childPid) + ",\"afterMs\":" + std::to_string(afterMs));
}

}  // namespace quorvel::start_record
