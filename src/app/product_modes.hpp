#pragma once
// ProductModes: the run modes of the shipped program over the platform, the game side and the
// settings that the program entry made.

#include "app/desktop.hpp"
#include "app/join_mode.hpp"
#include "app/run.hpp"
#include "app/settings.hpp"
#include "launch/join_flow.hpp"
#include "outside/game_side.hpp"
#include "platform/platform.hpp"
#include "update/install_system.hpp"

namespace quorvel {

class ProductModes final : public RunModes {
public:
    // `joinPlatform` gives the join mode its window and the network.
    ProductModes(const Platform& platform, const GameSide& game, const Settings& settings, Desktop& desktop,
                 JoinPlatform& joinPlatform)
        : platform_(platform), game_(game), settings_(settings), desktop_(desktop), joinPlatform_(joinPlatform) {}

    void healthCheck() override;
    void prepare(bool checkForUpdates) override;
    void selfTest() override;
    void steamCheck() override;
    void inspect() override;
    void registerTestProtocol() override;
    void uninstall(bool quiet, const UninstallHandOff* handOff) override;
    void join(const std::string& ticket, const std::wstring* link) override;

private:
    InstallSystem installSystem() const;

    Platform platform_;
    GameSide game_;
    Settings settings_;
    Desktop& desktop_;
    JoinPlatform& joinPlatform_;
};

}  // namespace quorvel
