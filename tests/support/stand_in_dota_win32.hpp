#pragma once
// The stand-in dota2.exe for the Windows tests, and the state of the test prefix that tests with
// Steam or Dota processes share: the guard that serialises them, Steam's registration in the
// prefix's own HKCU, and the other spelling of a path that Wine gives every file.

#include "common/scoped_handle_win32.hpp"

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

// The stand-in as the Windows build made it (build/windows/stand-ins/dota2.exe).
std::filesystem::path standInPath();

// Copies the stand-in into `dotaRoot` as the game's executable (game/bin/win64/dota2.exe) and
// returns its path.
std::filesystem::path installStandIn(const std::filesystem::path& dotaRoot);

// Held by every test that starts a dota2.exe, that needs none running, or that changes Steam's
// registration in the prefix: test programs run side by side in one prefix, and a census sees
// every process in it. A named mutex, so it serialises across processes; one whose holder died
// passes on.
class OutsideWorldLock {
public:
    OutsideWorldLock();
    ~OutsideWorldLock();
    OutsideWorldLock(const OutsideWorldLock&) = delete;
    OutsideWorldLock& operator=(const OutsideWorldLock&) = delete;

private:
    ScopedKernelHandle mutex_;
};

// Steam's `SteamPath` in the real HKCU of the prefix, which child programs read (a registry
// sandbox covers this process only): set to `steamPath`, or removed when it is empty, for the
// object's lifetime; the previous state comes back at the end. Only under an OutsideWorldLock.
class PrefixSteamRegistration {
public:
    explicit PrefixSteamRegistration(const std::optional<std::wstring>& steamPath);
    ~PrefixSteamRegistration();
    PrefixSteamRegistration(const PrefixSteamRegistration&) = delete;
    PrefixSteamRegistration& operator=(const PrefixSteamRegistration&) = delete;

private:
    std::optional<std::wstring> previous_;
};

// One running stand-in, started with `arguments` (already quoted, appended to the quoted program
// path) and a --ready-event of its own. Ended with TerminateProcess at the end if it still runs.
// Its waits keep answering messages sent to this thread: closing or activating a window sends
// messages to other programs' windows, and a thread that does not answer stalls the sender.
class StandInDota {
public:
    explicit StandInDota(const std::wstring& arguments, const std::filesystem::path& exe = standInPath());
    ~StandInDota();
    StandInDota(const StandInDota&) = delete;
    StandInDota& operator=(const StandInDota&) = delete;

    std::uint32_t pid() const { return pid_; }
    HANDLE process() const { return process_.get(); }
    // The whole command line it was started with.
    const std::wstring& commandLine() const { return commandLine_; }
    // Waits until it has made and shown its windows; false when it ended first or after
    // `timeoutMs`.
    bool waitUntilReady(unsigned long timeoutMs = 20'000) const;
    // Its exit code once it ended within `timeoutMs`; nothing if it still runs.
    std::optional<unsigned long> waitForExit(unsigned long timeoutMs) const;
    // Terminates it, waits for the end and lets go of it, so that its process id names nothing.
    void end();

private:
    ScopedKernelHandle ready_;
    ScopedKernelHandle process_;
    std::uint32_t pid_ = 0;
    std::wstring commandLine_;
};

// The lines the stand-in recorded with --record so far (without their line breaks).
std::vector<std::string> recordedLines(const std::filesystem::path& file);

// Whether this runs under Wine.
bool underWine();

// The spelling of `path` through Wine's drive Z: (the Unix root): `Z:\…\drive_c\…` for a file of
// drive C:. Empty when not under Wine.
std::filesystem::path unixDriveForm(const std::filesystem::path& path);

// `path` in capitals, as a case-insensitive file system accepts it for the same file.
std::filesystem::path upperCase(const std::filesystem::path& path);

}  // namespace quorvel::testing
