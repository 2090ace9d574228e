#pragma once

#include "app/desktop.hpp"
#include "app/run.hpp"
#include "launch/steam_engine.hpp"
#include "update/program_locations.hpp"

namespace quorvel {

// The run modes of the shipped program, over the platform's implementations of the seams.
class ProductModes final : public RunModes {
public:
    ProductModes(const ProgramLocations& locations, Desktop& desktop, const SteamEngineAccess& steamEngine)
        : locations_(locations), desktop_(desktop), steamEngine_(steamEngine) {}

    void healthCheck() override;
    void prepare(bool checkForUpdates) override;
    void selfTest() override;
    void steamCheck() override;
    void inspect() override;
    void registerTestProtocol() override;
    void join(const std::string& ticket, const std::wstring* link) override;

private:
    const ProgramLocations& locations_;
    [[maybe_unused]] Desktop& desktop_;
    const SteamEngineAccess& steamEngine_;
};

}  // namespace quorvel
