#pragma once
// ProductModes: the run modes of the shipped program over the seams the program entry made.

#include "app/desktop.hpp"
#include "app/join_mode.hpp"
#include "app/run.hpp"
#include "launch/steam_engine.hpp"
#include "outside/process_table.hpp"
#include "outside/steam_registry.hpp"
#include "platform/files.hpp"
#include "platform/known_folders.hpp"
#include "update/install_system.hpp"

namespace quorvel {

// What the modes reach of Steam and Dota 2; each created once by the program entry.
struct OutsideWorld {
    const SteamRegistry& steamRegistry;
    Files& gameFiles;
    ProcessTable& processes;
    SteamEngineAccess steamEngine;
};

// What the join mode reaches besides the install: the window and the network, the start of a
// newer build, and the world of the join itself.
struct JoinParts {
    JoinPlatform& platform;
    Processes& starter;
    const JoinWorld& world;
};

class ProductModes final : public RunModes {
public:
    ProductModes(const ProgramLocations& locations, Desktop& desktop, const OutsideWorld& outside,
                 InstallSystem& install, const JoinParts& join)
        : locations_(locations), desktop_(desktop), outside_(outside), install_(install), join_(join) {}

    void healthCheck() override;
    void prepare(bool checkForUpdates) override;
    void selfTest() override;
    void steamCheck() override;
    void inspect() override;
    void registerTestProtocol() override;
    void uninstall(bool quiet, const UninstallHandOff* handOff) override;
    void join(const std::string& ticket, const std::wstring* link) override;

private:
    const ProgramLocations& locations_;
    Desktop& desktop_;
    OutsideWorld outside_;
    InstallSystem& install_;
    JoinParts join_;
};

}  // namespace quorvel
