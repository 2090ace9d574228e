#include "support/stand_in_dota_win32.hpp"

#include "../../tools/start_record/start_record_win32.hpp"
#include "common/text.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <algorithm>
#include <cwctype>
#include <sstream>
#include <stdexcept>

namespace quorvel::testing {
namespace {

constexpr wchar_t kSteamKey[] = L"Software\\Valve\\Steam";
constexpr wchar_t kSteamPathValue[] = L"SteamPath";

std::optional<std::wstring> readSteamPath() {
    std::vector<wchar_t> buffer(32'768);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, kSteamKey, kSteamPathValue, RRF_RT_REG_SZ, nullptr, buffer.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer.data());
}

void writeSteamPath(const std::optional<std::wstring>& value) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSteamKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS) {
        throw std::runtime_error("cannot open HKCU\\Software\\Valve\\Steam");
    }
    const ScopedRegistryKey key(raw);
    if (!value) {
        const LSTATUS status = RegDeleteValueW(key.get(), kSteamPathValue);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            throw std::runtime_error("cannot remove SteamPath: " + std::to_string(status));
        }
        return;
    }
    const auto bytes = static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.get(), kSteamPathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()), bytes) !=
        ERROR_SUCCESS) {
        throw std::runtime_error("cannot set SteamPath");
    }
}

// Waits for one of `handles` while dispatching this thread's messages; its index, or -1 after
// `timeoutMs`.
int waitAnswering(std::initializer_list<HANDLE> handles, unsigned long timeoutMs) {
    const std::vector<HANDLE> list(handles);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD result =
            MsgWaitForMultipleObjects(static_cast<DWORD>(list.size()), list.data(), FALSE, left, QS_ALLINPUT);
        if (result < WAIT_OBJECT_0 + list.size()) return static_cast<int>(result - WAIT_OBJECT_0);
        if (result != WAIT_OBJECT_0 + list.size()) return -1;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

template <typename Function>
Function wineExport(const wchar_t* module, const char* name) {
    const HMODULE loaded = GetModuleHandleW(module);
    if (loaded == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(loaded, name)));
}

}  // namespace

std::filesystem::path standInPath() {
    return buildFolder() / "stand-ins" / "dota2.exe";
}

std::filesystem::path installStandIn(const std::filesystem::path& dotaRoot) {
    const std::filesystem::path exe = dotaRoot / "game" / "bin" / "win64" / "dota2.exe";
    std::filesystem::create_directories(exe.parent_path());
    std::filesystem::copy_file(standInPath(), exe, std::filesystem::copy_options::overwrite_existing);
    return exe;
}

OutsideWorldLock::OutsideWorldLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\QuorvelTestOutsideWorld")) {
    if (!mutex_) throw std::runtime_error("cannot create the outside-world lock");
    const DWORD waited = WaitForSingleObject(mutex_.get(), 240'000);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        throw std::runtime_error("the outside-world lock stayed taken for four minutes");
    }
}

OutsideWorldLock::~OutsideWorldLock() {
    ReleaseMutex(mutex_.get());
}

PrefixSteamRegistration::PrefixSteamRegistration(const std::optional<std::wstring>& steamPath)
    : previous_(readSteamPath()) {
    writeSteamPath(steamPath);
}

PrefixSteamRegistration::~PrefixSteamRegistration() {
    try {
        writeSteamPath(previous_);
    } catch (const std::exception&) {
        // Nothing to do about it here; the next registration sets what it needs.
    }
}

StandInDota::StandInDota(const std::wstring& arguments, const std::filesystem::path& exe) {
    static int counter = 0;
    const std::wstring readyName =
        L"Local\\QuorvelStandInReady-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    ready_.reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    if (!ready_) throw std::runtime_error("cannot create the stand-in's ready event");
    commandLine_ =
        L"\"" + exe.wstring() + L"\" " + arguments + (arguments.empty() ? L"" : L" ") + L"--ready-event " + readyName;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring writable = commandLine_;
    const BOOL created =
        CreateProcessW(exe.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    const DWORD error = created ? 0 : GetLastError();
    start_record::started(exe.wstring(), commandLine_, created, info.dwProcessId, error);
    if (!created) throw std::runtime_error("cannot start the stand-in: " + std::to_string(error));
    process_.reset(info.hProcess);
    const ScopedKernelHandle thread(info.hThread);
    pid_ = info.dwProcessId;
}

StandInDota::~StandInDota() {
    end();
}

void StandInDota::end() {
    if (!process_) return;
    if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 10'000);
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process_.get(), &code)) start_record::exited(pid_, code);
    process_.reset();
}

bool StandInDota::waitUntilReady(unsigned long timeoutMs) const {
    return waitAnswering({ready_.get(), process_.get()}, timeoutMs) == 0;
}

std::optional<unsigned long> StandInDota::waitForExit(unsigned long timeoutMs) const {
    if (waitAnswering({process_.get()}, timeoutMs) != 0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::vector<std::string> recordedLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    if (!std::filesystem::exists(file)) return lines;
    std::istringstream in(readFile(file));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool underWine() {
    return wineExport<const char* (*)()>(L"ntdll.dll", "wine_get_version") != nullptr;
}

std::filesystem::path unixDriveForm(const std::filesystem::path& path) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    const auto unixName = wineExport<UnixName>(L"kernel32.dll", "wine_get_unix_file_name");
    if (unixName == nullptr) return {};
    char* name = unixName(path.c_str());
    if (name == nullptr) return {};
    std::wstring form = L"Z:" + toWide(name);  // Unix names are UTF-8
    HeapFree(GetProcessHeap(), 0, name);
    for (wchar_t& c : form) {
        if (c == L'/') c = L'\\';
    }
    return form;
}

std::filesystem::path upperCase(const std::filesystem::path& path) {
    std::wstring text = path.wstring();
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towupper(c); });
    return text;
}

}  // namespace quorvel::testing
