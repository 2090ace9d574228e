// The program entry of TXQNativeConnector.exe: the one place that creates the Windows
// implementations of the seams and hands them down.
#include "app/desktop_win32.hpp"
#include "app/join_platform_win32.hpp"
#include "app/product_modes.hpp"
#include "app/run.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "launch/join_flow.hpp"
#include "launch/steam_client_pin.hpp"
#include "launch/steam_engine.hpp"
#include "outside/process_table_win32.hpp"
#include "outside/steam_registry.hpp"
#include "platform/clock.hpp"
#include "platform/command_line.hpp"
#include "platform/files.hpp"
#include "platform/https_win32.hpp"
#include "platform/known_folders_win32.hpp"
#include "platform/locked_file_win32.hpp"
#include "platform/modules_win32.hpp"
#include "platform/named_lock_win32.hpp"
#include "platform/process_environment_win32.hpp"
#include "platform/process_win32.hpp"
#include "platform/registry_win32.hpp"
#include "platform/windows_win32.hpp"

#include "build_config.hpp"

#include <windows.h>

namespace {

constexpr const char* kDllSearchNotLimited = "无法限定系统组件的加载位置，请更新 Windows";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // First of all: the exe runs from a download folder, where anyone may drop a DLL. From here on
    // every DLL loaded by name (the delay-loaded imports, and whatever system DLLs load on their
    // own) comes from System32 only; the load-time imports are KnownDLLs, which always do.
    const bool dllSearchLimited = quorvel::limitDllSearchToSystem32();
    quorvel::Win32Desktop desktop;
    quorvel::Win32ProgramLocations locations;
    quorvel::Arguments args;
    try {
        quorvel::check(dllSearchLimited, kDllSearchNotLimited);
        args = quorvel::processArguments();
    } catch (const quorvel::UserError& failure) {
        desktop.showError(quorvel::toWideLenient(failure.what()));
        return 1;
    }
    quorvel::Win32Registry registry;
    const quorvel::SteamRegistryReader steamRegistry(registry);
    quorvel::LocalFiles files;
    quorvel::Win32LockedFileOpener lockedFiles;
    quorvel::Win32ProcessEnvironment environment;
    quorvel::Win32ModuleLoader modules;
    quorvel::Win32Processes programs;
    quorvel::Win32ProcessTable processes(quorvel::config::kWineCommandLines
                                             ? quorvel::CommandLineReader::environmentBlockFallback
                                             : quorvel::CommandLineReader::commandLineInformation);
    const quorvel::OutsideWorld outside{
        steamRegistry, files, processes, {steamRegistry, files, lockedFiles, environment, modules}};
    quorvel::Win32KnownFolders folders;
    quorvel::Win32NamedLocks locks;
    quorvel::SystemClock clock;
    quorvel::SystemTickClock ticks;
    quorvel::WinHttpTransport transport;
    quorvel::InstallSystem install{locations, folders, files, registry, programs, locks, clock, {transport, ticks}};
    quorvel::Win32WindowSystem windows;
    quorvel::SystemSleeper sleeper;
    const quorvel::LobbyAccess lobby{transport, ticks};
    const quorvel::JoinWorld joinWorld{lobby,
                                       clock,
                                       steamRegistry,
                                       files,
                                       processes,
                                       windows,
                                       sleeper,
                                       programs,
                                       outside.steamEngine,
                                       quorvel::builtInSteamClientPin(),
                                       programs};
    quorvel::Win32JoinPlatform joinPlatform(instance);
    quorvel::ProductModes modes(locations, desktop, outside, install, {joinPlatform, programs, joinWorld});
    return quorvel::runProgram(args, modes, locations, desktop);
}
