#include "app/join_mode.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "launch/launch_arguments.hpp"
#include "lobby/lobby_client.hpp"
#include "lobby/lobby_requests.hpp"
#include "platform/sha256.hpp"
#include "update/activation.hpp"
#include "update/executable_file.hpp"
#include "update/prepare_launcher.hpp"

#include <exception>

namespace quorvel {
namespace {

FinishMode joinOrInstall(const JoinTaskWorld& world, const std::string& ticket, std::filesystem::path& switchTarget,
                         StatusSink& window, const ProgressCallback& progress) {
    const std::filesystem::path launcher = prepareLauncher(world.install, progress, true);
    // Element by element, letter case respected: another spelling is another launcher.
    if (launcher != versionExecutablePath(world.install.folders, runningBuild())) {
        switchTarget = launcher;
        window.setStatusText(kSwitchingToNewerBuild);
        return FinishMode::closeNow;
    }
    if (ticket.empty()) {
        window.setStatusText(kInstalled);
        return FinishMode::closeLater;
    }
    if (enter(world.platform, world.game, world.join, ticket, progress)) {
        window.setStatusText(kJoinedInFront);
        return FinishMode::closeLater;
    }
    window.setStatusText(kJoinedSwitchByHand);
    return FinishMode::keepOpen;
}

// Points the protocol and active.json at the running build again, so that the next click starts
// a build known to start. The running build's Version executable is absent when the update check
// adopted a newer installed build instead of installing this one, so it is staged first (an
// existing one is only verified).
void reactivateRunningBuild(InstallSystem& install) {
    const std::string image = readExecutableFile(install.files, install.locations.modulePath());
    const Release running{runningBuild(), image.size(), sha256Hex(image)};
    activate(install, stageRelease(install, running, image));
}

}  // namespace

void runJoinTask(const JoinTaskWorld& world, const std::string& ticket, std::filesystem::path& switchTarget,
                 StatusSink& window) {
    if (!ticket.empty())
        reportEarlyChecking(LobbyAccess{world.platform.transport, world.platform.ticks, world.join.lobbyHost}, ticket);
    const ProgressCallback progress = [&window](const std::wstring& text) { window.setStatusText(text); };
    FinishMode mode = FinishMode::keepOpen;
    try {
        mode = joinOrInstall(world, ticket, switchTarget, window, progress);
    } catch (const std::exception& failure) {
        // Library errors too (a lobby answer that is not JSON, a file-system error): escaping the
        // worker thread would end the process with the window and the lock in hand.
        window.setStatusText(toWideLenient(failure.what()));
        mode = FinishMode::keepOpen;
    }
    window.finish(mode);
}

void runJoinMode(const JoinModeSystem& system, const std::string& ticket, const std::wstring* link) {
    std::unique_ptr<JoinPlatform::Network> network = system.platform.startNetwork();
    std::filesystem::path switchTarget;
    {
        // Held while the window lives; given back before the network stops and before a newer
        // build, which takes it for the same join, is started.
        const HeldLock lock = takeLock(system.locks, kJoinLockName, 0, kJoinLockFailed, kJoinAlreadyRunning);
        system.platform.runStatusWindow(
            [&](StatusSink& window) { runJoinTask(system.task, ticket, switchTarget, window); });
    }
    network.reset();

    if (switchTarget.empty()) return;
    std::vector<std::wstring> arguments;
    if (!ticket.empty() && link != nullptr) arguments.push_back(*link);
    try {
        launchProgram(system.starter, switchTarget, arguments);
    } catch (const UserError&) {
        reactivateRunningBuild(system.task.install);
        throw;
    }
}

}  // namespace quorvel
