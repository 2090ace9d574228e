// The program entry of TXQNativeConnector.exe: the one place that creates the Windows
// implementations of the seams and hands them down.
#include "app/desktop_win32.hpp"
#include "app/join_platform_win32.hpp"
#include "app/product_modes.hpp"
#include "app/run.hpp"
#include "app/settings.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "outside/game_side.hpp"
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
#include "platform/platform.hpp"
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
    // The Windows side of every platform seam, made once; the flows take what they use from it.
    quorvel::LocalFiles files;
    quorvel::Win32Processes processes;
    quorvel::Win32NamedLocks locks;
    quorvel::Win32Registry registry;
    quorvel::Win32ModuleLoader modules;
    quorvel::Win32LockedFileOpener lockedFiles;
    quorvel::Win32ProcessEnvironment environment;
    quorvel::Win32WindowSystem windows;
    quorvel::WinHttpTransport transport;
    quorvel::SystemClock clock;
    quorvel::SystemTickClock ticks;
    quorvel::SystemSleeper sleeper;
    quorvel::Win32KnownFolders folders;
    const quorvel::Platform platform{files,  processes, locks, registry, modules, lockedFiles, environment,
                                     windows, transport, clock, ticks,    sleeper, folders,     locations};
    // Steam's registry values and the process table read as Dota clients: made here, beside the
    // platform they are read through, as the process table is a Windows implementation whose
    // command-line reader is a build setting.
    const quorvel::SteamRegistryReader steamRegistry(registry);
    quorvel::Win32ProcessTable processTable(quorvel::config::kWineCommandLines
                                                ? quorvel::CommandLineReader::environmentBlockFallback
                                                : quorvel::CommandLineReader::commandLineInformation);
    const quorvel::GameSide game{steamRegistry, processTable};
    quorvel::Win32JoinPlatform joinPlatform(instance);
    quorvel::ProductModes modes(platform, game, quorvel::builtInSettings(), desktop, joinPlatform);
    return quorvel::runProgram(args, modes, locations, desktop);
}
