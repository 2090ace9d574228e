#pragma once
// Platform: one reference to each platform seam, made once by the program entry over the Windows
// implementations (main_win32.cpp) and handed down; tests hand in fakes.

#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/https.hpp"
#include "platform/known_folders.hpp"
#include "platform/locked_file.hpp"
#include "platform/modules.hpp"
#include "platform/named_lock.hpp"
#include "platform/process.hpp"
#include "platform/process_environment.hpp"
#include "platform/registry.hpp"
#include "platform/windows.hpp"

namespace quorvel {

struct Platform {
    Files& files;
    Processes& processes;  // starting programs, waiting for them, their exit codes
    NamedLocks& locks;
    Registry& registry;  // the current user's registry
    ModuleLoader& modules;
    LockedFileOpener& lockedFiles;
    ProcessEnvironment& environment;
    WindowSystem& windows;
    HttpTransport& transport;
    const Clock& clock;
    const TickClock& ticks;
    Sleeper& sleeper;
    const KnownFolders& folders;
    const ProgramLocations& locations;
};

}  // namespace quorvel
