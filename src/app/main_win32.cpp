// The program entry of TXQNativeConnector.exe: the one place that creates the Windows
// implementations of the seams and hands them down.
#include "app/command_line_win32.hpp"
#include "app/desktop_win32.hpp"
#include "app/product_modes.hpp"
#include "app/run.hpp"
#include "common/clock.hpp"
#include "common/error.hpp"
#include "common/http_transport_win32.hpp"
#include "common/text.hpp"
#include "common/tick_clock.hpp"
#include "launch/steam_engine.hpp"
#include "outside/local_game_files.hpp"
#include "outside/locked_file_win32.hpp"
#include "outside/module_loader_win32.hpp"
#include "outside/process_environment_win32.hpp"
#include "outside/process_table_win32.hpp"
#include "outside/steam_registry_win32.hpp"
#include "update/child_process_win32.hpp"
#include "update/install_layout_win32.hpp"
#include "update/install_lock_win32.hpp"
#include "update/program_locations_win32.hpp"
#include "update/registry_writer_win32.hpp"

#include "build_config.hpp"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    quorvel::Win32Desktop desktop;
    quorvel::Win32ProgramLocations locations;
    quorvel::Arguments args;
    try {
        args = quorvel::processArguments();
    } catch (const quorvel::UserError& failure) {
        desktop.showError(quorvel::toWideLenient(failure.what()));
        return 1;
    }
    quorvel::Win32SteamRegistry steamRegistry;
    quorvel::LocalGameFiles gameFiles;
    quorvel::Win32LockedFileOpener lockedFiles;
    quorvel::Win32ProcessEnvironment environment;
    quorvel::Win32ModuleLoader modules;
    quorvel::Win32ProcessTable processes(quorvel::config::kWineCommandLines
                                             ? quorvel::CommandLineReader::environmentBlockFallback
                                             : quorvel::CommandLineReader::commandLineInformation);
    const quorvel::OutsideWorld outside{
        steamRegistry, gameFiles, processes, {steamRegistry, gameFiles, lockedFiles, environment, modules}};
    quorvel::Win32KnownFolders folders;
    quorvel::LocalInstallFiles installFiles;
    quorvel::Win32RegistryWriter registry;
    quorvel::Win32ChildProcesses children;
    quorvel::Win32NamedMutexes mutexes;
    quorvel::SystemClock clock;
    quorvel::SystemTickClock ticks;
    quorvel::WinHttpTransport transport;
    quorvel::InstallSystem install{locations, folders, installFiles, registry,
                                   children,  mutexes, clock,        {transport, ticks}};
    quorvel::ProductModes modes(locations, desktop, outside, install);
    return quorvel::runProgram(args, modes, locations, desktop);
}
