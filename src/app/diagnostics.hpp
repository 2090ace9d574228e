#pragma once
// The diagnostic run modes that answer with a Result file or only an exit code.

#include "clients/process_info.hpp"
#include "outside/process_table.hpp"
#include "outside/steam_registry.hpp"
#include "platform/files.hpp"
#include "platform/known_folders.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <vector>

namespace quorvel {

// --health-check: the digest and the link parser must work; nothing is written on success.
void runHealthCheck();

// The content of native-inspect.json: `dotaRoot`, and per client in census order its
// `consolePort`, `pid` and `toolsMode`. Fails with consolePort's message when a client's
// -vconport value is unusable.
nlohmann::json inspectReport(const std::filesystem::path& dotaRoot, const std::vector<DotaProcess>& clients);

// --inspect: finds the Dota root and the running clients and writes native-inspect.json beside
// the executable. Changes nothing in any process; a failure writes no file of its own.
void runInspect(const SteamRegistry& registry, Files& files, ProcessTable& processes,
                const ProgramLocations& locations);

}  // namespace quorvel
