// A stand-in for Steam's launcher, for the Windows tests: records how it was started and, when
// steam-knobs.txt beside it names a program, starts that program with the arguments that follow
// "-applaunch 570", as Steam starts the game, and watches it for a while so that the start record
// shows a game that died in its start-up (tools/README.md).
#include "../start_record/start_record_win32.hpp"
#include "common/command_line.hpp"
#include "common/scoped_handle_win32.hpp"
#include "common/text.hpp"

#include <nlohmann/json.hpp>

#include <windows.h>
#include <shellapi.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::filesystem::path ownFolder() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return std::filesystem::path(path).parent_path();
}

std::string readFile(const std::filesystem::path& path) {
    const quorvel::ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string text(65536, '\0');
    DWORD length = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &length, nullptr)) return {};
    text.resize(length);
    return text;
}

// The value of "name=value" in steam-knobs.txt (UTF-8), or nothing.
std::wstring knob(const std::string& knobs, const std::string& name) {
    std::size_t start = 0;
    while (start < knobs.size()) {
        std::size_t end = knobs.find('\n', start);
        if (end == std::string::npos) end = knobs.size();
        std::string line = knobs.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(name + "=", 0) == 0) return quorvel::toWide(line.substr(name.size() + 1));
    }
    return {};
}

// Appends one line to `path`, written at once so that a reader sees whole lines only.
void appendLine(const std::filesystem::path& path, const std::string& line) {
    const quorvel::ScopedKernelHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// How long steam.exe stays to see the game's exit code: a game that Wine failed to load ends
// within this time; one still running is recorded as such.
constexpr DWORD kWatchMs = 20'000;

// Starts the game as Steam does (its own folder, no console window, not waited for by the caller)
// and records the start and, when it comes within kWatchMs, its end.
int startGame(const std::filesystem::path& game, const std::vector<std::wstring>& arguments) {
    const std::wstring commandLine = quorvel::buildCommandLine(game, arguments);
    std::wstring writable = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const BOOL created = CreateProcessW(game.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                        nullptr, game.parent_path().c_str(), &startup, &started);
    const DWORD error = created ? 0 : GetLastError();
    quorvel::start_record::started(game.wstring(), commandLine, created, started.dwProcessId, error);
    if (!created) return 3;
    const quorvel::ScopedKernelHandle process(started.hProcess);
    const quorvel::ScopedKernelHandle thread(started.hThread);
    if (WaitForSingleObject(process.get(), kWatchMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        quorvel::start_record::exited(started.dwProcessId, code);
    } else {
        quorvel::start_record::stillRunning(started.dwProcessId, kWatchMs);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quorvel::start_record::arrived();
    const std::filesystem::path folder = ownFolder();
    const std::string knobs = readFile(folder / "steam-knobs.txt");
    std::filesystem::path recordPath = knob(knobs, "record");
    if (recordPath.empty()) recordPath = folder / "steam-launches.txt";

    const std::wstring commandLine = GetCommandLineW();
    std::wstring currentFolder(32768, L'\0');
    currentFolder.resize(GetCurrentDirectoryW(static_cast<DWORD>(currentFolder.size()), currentFolder.data()));
    int count = 0;
    const quorvel::ScopedLocalMemory split(CommandLineToArgvW(commandLine.c_str(), &count));
    std::vector<std::wstring> arguments;
    for (int i = 0; split && i < count; ++i) arguments.emplace_back(static_cast<wchar_t**>(split.get())[i]);

    nlohmann::json record{{"commandLine", quorvel::toNarrow(commandLine)},
                          {"currentDirectory", quorvel::toNarrow(currentFolder)},
                          {"arguments", nlohmann::json::array()}};
    for (const std::wstring& argument : arguments) record["arguments"].push_back(quorvel::toNarrow(argument));
    appendLine(recordPath, record.dump());

    const std::filesystem::path game = knob(knobs, "start");
    if (game.empty() || arguments.size() < 3 || arguments[1] != L"-applaunch" || arguments[2] != L"570") return 0;
    return startGame(game, std::vector<std::wstring>(arguments.begin() + 3, arguments.end()));
}
