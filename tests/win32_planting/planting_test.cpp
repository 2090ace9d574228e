// DLLs planted beside the programs we ship, as a web page can drop them into a download folder:
// a stand-in under each name that the exe, WinHTTP or the window system might load by name, with
// Wine told to prefer a DLL found along the search path over its own. The exe must load none of
// them in any run mode; a program without the protection loads one.
#include "common/scoped_handle_win32.hpp"
#include "common/text.hpp"
#include "support/lobby_simulator_win32.hpp"
#include "support/prefix_install_state_win32.hpp"
#include "support/stand_in_dota_win32.hpp"
#include "support/temp_dir.hpp"
#include "support/windows_process_win32.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel {
namespace {

// The DLLs the exe delay-loads that are not KnownDLLs first, then DLLs that WinHTTP, the socket
// library and the window system load on their own on Windows. version.dll is left out: Wine's user32 imports it
// at load time (Windows' does not), so Wine takes a planted one before any program's first
// instruction, whatever that program does.
const wchar_t* const kPlantedDlls[] = {
    L"bcrypt",  L"winhttp", L"crypt32", L"secur32", L"jsproxy",  L"dnsapi",  L"iphlpapi",
    L"mswsock", L"userenv", L"uxtheme", L"dwmapi",  L"comctl32", L"wininet", L"winmm",
};

struct RunMode {
    const wchar_t* arguments;
    DWORD exitCode;         // how the run ends here, which shows that it got as far as it can
    bool inWindow = false;  // a join: without a display it cannot make its window and ends with 1
};

// Every run mode of the exe.
const RunMode kRunModes[] = {
    {L"--health-check", 0},
    {L"--self-test", 0},
    {L"--install-only", 0},
    {L"--update-only", 0},  // the manifest request to the placeholder lobby host fails: a skip
    {L"--steam-check", 1},  // no Steam in the prefix
    {L"--inspect", 1},
    {L"--register-test-protocol", 0},
    {L"", 0, true},  // installs and says so
    // The lobby is unreachable: the window shows why until it is closed.
    {L"txqjoin://enter/?ticket=aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 0, true},
    {L"a b", 1},  // turned away
};

// Wine told to take each planted name from the search path first (`name=n,b`) in every process
// of the program named `program`, for the object's lifetime. A per-program override in the
// prefix's registry, since Wine takes WINEDLLOVERRIDES from the Unix environment its process tree
// started with, not from the environment block a Windows parent passes to CreateProcessW.
class PlantedDllsPreferred {
public:
    explicit PlantedDllsPreferred(const std::wstring& program)
        : appKey_(L"Software\\Wine\\AppDefaults\\" + program), overridesKey_(appKey_ + L"\\DllOverrides") {
        HKEY raw = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, overridesKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                            nullptr) != ERROR_SUCCESS) {
            throw std::runtime_error("cannot create the DLL overrides key");
        }
        const ScopedRegistryKey key(raw);
        const std::wstring order = L"native,builtin";
        for (const wchar_t* name : kPlantedDlls) {
            RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order.c_str()),
                           static_cast<DWORD>((order.size() + 1) * sizeof(wchar_t)));
        }
    }
    ~PlantedDllsPreferred() {
        HKEY raw = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, overridesKey_.c_str(), 0, KEY_SET_VALUE, &raw) == ERROR_SUCCESS) {
            const ScopedRegistryKey key(raw);
            for (const wchar_t* name : kPlantedDlls) RegDeleteValueW(key.get(), name);
        }
        // Removes the keys only if nothing else was kept in them.
        RegDeleteKeyW(HKEY_CURRENT_USER, overridesKey_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, appKey_.c_str());
    }
    PlantedDllsPreferred(const PlantedDllsPreferred&) = delete;
    PlantedDllsPreferred& operator=(const PlantedDllsPreferred&) = delete;

private:
    std::wstring appKey_;
    std::wstring overridesKey_;
};

struct Ending {
    DWORD exitCode = 0;
    bool timedOut = false;
};

struct OwnWindows {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectVisibleWindows(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<OwnWindows*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

// Runs `exe` in its folder, asking every window it shows to close (a message box is answered, the
// Status window closes once its task has ended), until it ends.
Ending runToTheEnd(const std::filesystem::path& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, exe.parent_path().c_str(),
                        &startup, &info)) {
        throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
    }
    const ScopedKernelHandle process(info.hProcess);
    const ScopedKernelHandle thread(info.hThread);
    Ending ending;
    const ULONGLONG deadline = GetTickCount64() + 60'000;
    while (WaitForSingleObject(process.get(), 100) == WAIT_TIMEOUT) {
        if (GetTickCount64() >= deadline) {
            TerminateProcess(process.get(), 99);
            WaitForSingleObject(process.get(), 5'000);
            ending.timedOut = true;
            break;
        }
        OwnWindows windows{info.dwProcessId, {}};
        EnumWindows(&collectVisibleWindows, reinterpret_cast<LPARAM>(&windows));
        for (const HWND window : windows.found) {
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (std::wstring(className) == L"#32770") {
                PostMessageW(window, WM_COMMAND, IDOK, 0);
            } else {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }
    }
    GetExitCodeProcess(process.get(), &ending.exitCode);
    return ending;
}

// A fresh download folder holding a copy of `program` and a stand-in under every planted name.
class PlantedFolder {
public:
    explicit PlantedFolder(const std::filesystem::path& program) : program_(dir_ / program.filename()) {
        std::filesystem::copy_file(program, program_);
        const std::filesystem::path standIn = testing::buildFolder() / "planting" / "planted_dll.dll";
        for (const wchar_t* name : kPlantedDlls) {
            std::filesystem::copy_file(standIn, dir_ / (std::wstring(name) + L".dll"));
        }
    }

    const std::filesystem::path& program() const { return program_; }

    // The planted names whose stand-in was loaded by some process, in lower case.
    std::vector<std::string> loaded() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            const std::wstring name = lowerCopy(entry.path().filename().wstring());
            if (name.ends_with(L".dll.loaded")) names.push_back(toNarrow(name.substr(0, name.size() - 7)));
        }
        return names;
    }

private:
    testing::TempDir dir_;
    std::filesystem::path program_;
};

// The exes run against the prefix's own install root and protocol keys, put back afterwards.
class PlantingTest : public ::testing::Test {
protected:
    // Runs `program` from a planted folder in each of `modes`; expects each run to end as the mode
    // does and to have loaded no stand-in.
    template <std::size_t N>
    void expectNoPlantedDllLoaded(const std::filesystem::path& program, const RunMode (&modes)[N]) {
        for (const RunMode& mode : modes) {
            SCOPED_TRACE(toNarrow(program.filename().wstring()) + " " + toNarrow(mode.arguments));
            const PlantedFolder folder(program);
            const PlantedDllsPreferred preferred(program.filename().wstring());
            const Ending ending = runToTheEnd(folder.program(), mode.arguments);
            EXPECT_FALSE(ending.timedOut);
            EXPECT_EQ(ending.exitCode, mode.inWindow && !testing::haveDisplay() ? 1u : mode.exitCode);
            EXPECT_EQ(folder.loaded(), std::vector<std::string>{});
        }
    }

    testing::OutsideWorldLock lock;
    testing::PrefixInstallState state;
};

TEST_F(PlantingTest, TheShippedExeLoadsNoPlantedDllInAnyRunMode) {
    expectNoPlantedDllLoaded(testing::buildFolder() / "bin" / "TXQNativeConnector.exe", kRunModes);
}

TEST_F(PlantingTest, TheOtherBuildsOfTheExeShareTheProtection) {
    // --health-check loads bcrypt; --update-only loads winhttp as well.
    const RunMode modes[] = {{L"--health-check", 0}, {L"--update-only", 0}};
    expectNoPlantedDllLoaded(testing::buildFolder() / "stand-ins" / "TXQNativeConnector-standin.exe", modes);
    expectNoPlantedDllLoaded(testing::buildFolder() / "next-release" / "TXQNativeConnector.exe", modes);
}

// Steam's client library is loaded by full path with search flags of its own, which decide where
// its dependencies come from: the stand-in imports winmm (no KnownDLL), which a planted folder
// holds. The stand-in build accepts the stand-in library, so --steam-check gets through the load
// and opens a session.
TEST_F(PlantingTest, TheSteamClientLibrarysDependenciesAreNotTakenFromTheExesFolder) {
    const testing::TempDir steam;
    std::filesystem::copy_file(testing::buildFolder() / "stand-ins" / "steamclient64.dll", steam / "steamclient64.dll");
    const testing::PrefixSteamRegistration steamPath(steam.path().wstring());
    const RunMode modes[] = {{L"--steam-check", 0}};
    expectNoPlantedDllLoaded(testing::buildFolder() / "stand-ins" / "TXQNativeConnector-standin.exe", modes);
    // The library was loaded and its session opened and closed.
    const std::string calls = testing::readFile(steam / "steamclient64-calls.txt");
    EXPECT_NE(calls.find("CreateInterface CLIENTENGINE_INTERFACE_VERSION005"), std::string::npos) << calls;
    EXPECT_NE(calls.find("engine 1 (17)"), std::string::npos) << calls;
}

// The exe reaches no TLS server here (its lobby host is a placeholder), so the exchange goes
// through the same transport in a probe, against the lobby simulator.
TEST(PlantingHttps, ATlsExchangeThroughTheTransportLoadsNoPlantedDll) {
    testing::SimulatedLobby simulator;
    const PlantedFolder folder(testing::buildFolder() / "planting" / "https_probe.exe");
    const PlantedDllsPreferred preferred(L"https_probe.exe");
    const Ending ending = runToTheEnd(folder.program(), std::to_wstring(simulator.host().port));
    ASSERT_FALSE(ending.timedOut);
    EXPECT_EQ(ending.exitCode, 0u);
    EXPECT_EQ(simulator.requests().size(), 1u);
    EXPECT_EQ(folder.loaded(), std::vector<std::string>{});
}

TEST(PlantingControl, AProgramImportingBcryptTheOrdinaryWayLoadsThePlantedOne) {
    const PlantedFolder folder(testing::buildFolder() / "planting" / "planting_control.exe");
    const PlantedDllsPreferred preferred(L"planting_control.exe");
    const Ending ending = runToTheEnd(folder.program(), L"");
    ASSERT_FALSE(ending.timedOut);
    // The stand-in's BCryptGenRandom answered, not the system's.
    EXPECT_EQ(ending.exitCode, 3u);
    EXPECT_EQ(folder.loaded(), std::vector<std::string>{"bcrypt.dll"});
}

}  // namespace
}  // namespace quorvel
