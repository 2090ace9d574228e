#pragma once
// InstallSystem: the seams that installing and updating reach the machine through, created once by
// the program entry (or a test) and handed down.

#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/known_folders.hpp"
#include "platform/named_lock.hpp"
#include "platform/process.hpp"
#include "platform/registry.hpp"
#include "update/install_layout.hpp"
#include "update/update_client.hpp"

namespace quorvel {

struct InstallSystem {
    const ProgramLocations& locations;
    const KnownFolders& folders;
    Files& files;
    Registry& registry;
    Processes& processes;  // the health checks
    NamedLocks& locks;          // the Install lock
    const Clock& clock;         // the update log's time
    UpdateAccess update;        // the update host, and the tick clock of its deadline and of log rotation
};

}  // namespace quorvel
