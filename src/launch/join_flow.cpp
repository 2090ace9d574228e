#include "launch/join_flow.hpp"

#include "clients/client_census.hpp"
#include "clients/window_control.hpp"
#include "common/error.hpp"
#include "common/text.hpp"
#include "game/map_resources.hpp"
#include "game/steam_discovery.hpp"
#include "launch/commit_sequence.hpp"
#include "launch/launch_arguments.hpp"
#include "launch/steam_engine.hpp"
#include "launch/steam_account.hpp"
#include "lobby/entry.hpp"
#include "lobby/lobby_client.hpp"
#include "lobby/lobby_requests.hpp"

#include <filesystem>
#include <optional>
#include <vector>

namespace quorvel {
namespace {

constexpr std::wstring_view kInsecure = L"-insecure";
constexpr std::wstring_view kConnect = L"+connect";

constexpr const wchar_t* kCheckingText = L"正在检查 Dota、Steam 和地图资源…";
constexpr const wchar_t* kCheckingSilentText = L"正在检查 Steam 静默连接接口…";
constexpr const wchar_t* kConnectingText = L"正在通过 Steam 连接服务器…";
constexpr const wchar_t* kRestoringStandardText = L"正在正常重启 Dota，以恢复标准启动模式…";
constexpr const wchar_t* kSwitchingModeText = L"正在正常重启 Dota，以切换游戏运行模式…";
constexpr const wchar_t* kLaunchingText = L"正在通过 Steam 启动 Dota 并连接…";
constexpr const wchar_t* kSentText = L"连接请求已提交，正在将 Dota 切到前台…";
constexpr const wchar_t* kFailedText = L"连接未完成";
constexpr const wchar_t* kUncertainText = L"连接可能已提交，请查看游戏。不会自动重复连接。";

// The state of one call of enter.
class Join {
public:
    Join(const Platform& platform, const GameSide& game, const JoinSettings& settings, const std::string& ticket,
         ProgressCallback progress)
        : platform_(platform),
          game_(game),
          lobby_{platform.transport, platform.ticks, settings.lobbyHost},
          engine_(steamEngineAccess(platform, game)),
          steamClient_(settings.steamClient),
          ticket_(ticket),
          reporter_(lobby_, ticket, std::move(progress)) {}

    // Entry, game files, account and census; returns the census.
    std::vector<DotaProcess> prepare() {
        entry_ = validateEntry(requestEntry(lobby_, ticket_, L"context"), platform_.clock);
        reporter_.reportProgress("checking", kCheckingText);
        root_ = findDotaRoot(game_.steamRegistry, platform_.files);
        checkMapResources(root_, entry_.addon, entry_.map, entry_.toolsMode, platform_.files);
        checkSteamAccount(game_.steamRegistry, entry_.steamId);
        std::vector<DotaProcess> clients = census();
        check(clients.size() < 2, kSeveralClients);
        return clients;
    }

    // Everything from the choice of path up to the "sent" report, under the failure rule; then
    // the raise, whose failure is no failure of the join.
    bool connect(const std::vector<DotaProcess>& clients) {
        try {
            choosePathAndConnect(clients);
            reporter_.reportProgress("sent", kSentText);
        } catch (...) {
            reportFailure();
        }
        try {
            return bringDotaToFront(game_.processTable, platform_.windows, platform_.sleeper, *chosen_, root_);
        } catch (...) {
            return false;
        }
    }

private:
    void choosePathAndConnect(const std::vector<DotaProcess>& clients) {
        if (clients.empty()) return launchPath();
        chosen_ = clients.front();
        verifyChosen();
        if (matchesEntryMode(*chosen_, entry_) && !hasArgument(chosen_->arguments, kInsecure)) return silentPath();
        restartPath();
    }

    void silentPath() {
        reporter_.reportProgress("checking", kCheckingSilentText);
        // Released on every path: by the close below, or by its destructor when a step fails.
        SteamEngineSession session = openSteamEngine(engine_, steamClient_);
        reporter_.reportProgress("connecting", kConnectingText);
        runCommitSequence([&] { consume(); },
                          [&] {
                              const std::vector<DotaProcess> clients = census();
                              check(clients.size() == 1 && clients.front().pid == chosen_->pid,
                                    kClientChangedClickAgain);
                              verifyChosen();
                              checkSteamAccount(game_.steamRegistry, entry_.steamId);
                          },
                          [&] { sendConnect(session, entry_.serverSteamId); }, committed_);
        closeSteamEngine(session);
    }

    void restartPath() {
        requireSameEntryAgain();
        reporter_.reportProgress(
            "restarting", hasArgument(chosen_->arguments, kInsecure) ? kRestoringStandardText : kSwitchingModeText);
        verifyChosen();
        const std::vector<WindowHandle> windows = findDotaWindows(platform_.windows, chosen_->pid);
        check(!windows.empty(), kNoDotaWindow);
        {
            const std::unique_ptr<Process> process = platform_.processes.open(chosen_->pid);
            check(process != nullptr, kProcessChanged);
            // Verified again now that the handle pins the process, so that what is closed and
            // waited for is the client that was checked.
            verifyChosen();
            requestDotaClose(platform_.windows, windows);
            // The game may ask the player to confirm the exit; that answer is left to the player.
            check(process->waitForExit(kExitWaitMs), kDotaNotExited);
        }
        launchPath();
    }

    void launchPath() {
        check(census().empty(), kDotaAlreadyRunning);
        const std::filesystem::path launcher = findSteamLauncher(findSteamPath(game_.steamRegistry));
        requireSameEntryAgain();
        reporter_.reportProgress("launching", kLaunchingText);
        std::vector<std::wstring> arguments;
        runCommitSequence([&] { arguments = buildLaunchArguments(consume(), platform_.clock); },
                          [&] {
                              check(census().empty(), kDotaJustStarted);
                              checkSteamAccount(game_.steamRegistry, entry_.steamId);
                          },
                          [&] { launchProgram(platform_.processes, launcher, arguments); }, committed_);
        waitForLaunchedClient();
    }

    // The first client that appears decides; it is never waited for a second time.
    void waitForLaunchedClient() {
        for (int round = 0; round < kLaunchRounds; ++round) {
            const std::vector<DotaProcess> clients = census();
            check(clients.size() < 2, kSeveralClientsAfterLaunch);
            if (clients.empty()) {
                platform_.sleeper.sleep(kLaunchPauseMs);
                continue;
            }
            chosen_ = clients.front();
            verifyChosen();
            check(matchesEntryMode(*chosen_, entry_) &&
                      argumentValue(chosen_->arguments, kConnect) == toWide(entry_.serverSteamId),
                  kLaunchUnconfirmed);
            check(!hasArgument(chosen_->arguments, kInsecure), kInsecureStillSet);
            return;
        }
        throw UserError(kLaunchTimedOut);
    }

    // Consumes the Ticket; the answer must describe the same connection.
    Entry consume() { return requireSameEntry(entry_, requestEntry(lobby_, ticket_, L"consume"), platform_.clock); }

    void requireSameEntryAgain() {
        requireSameEntry(entry_, requestEntry(lobby_, ticket_, L"context"), platform_.clock);
    }

    // Reports the outcome and ends the join: the failure itself before the commit point, the
    // uncertain message after it. The report's own failure must not replace the outcome: in
    // particular, once committed, the player has to be told not to try again whatever happened.
    [[noreturn]] void reportFailure() {
        try {
            if (committed_) {
                reporter_.reportProgress("uncertain", kUncertainText);
            } else {
                reporter_.reportProgress("failed", kFailedText);
            }
        } catch (...) {
        }
        if (committed_) throw UserError(kConnectUncertain);
        throw;
    }

    std::vector<DotaProcess> census() { return findDotaClients(game_.processTable); }
    void verifyChosen() { verifyDotaClient(game_.processTable, *chosen_, root_); }

    const Platform& platform_;
    const GameSide& game_;
    const LobbyAccess lobby_;
    const SteamEngineAccess engine_;
    const SteamClientPin& steamClient_;
    const std::string& ticket_;
    ProgressReporter reporter_;
    Entry entry_;
    std::filesystem::path root_;
    std::optional<DotaProcess> chosen_;
    bool committed_ = false;
};

}  // namespace

bool enter(const Platform& platform, const GameSide& game, const JoinSettings& settings, const std::string& ticket,
           ProgressCallback progress) {
    Join join(platform, game, settings, ticket, std::move(progress));
    const std::vector<DotaProcess> clients = join.prepare();
    return join.connect(clients);
}

}  // namespace quorvel
