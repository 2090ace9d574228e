#include "app/join_mode.hpp"

#include "common/command_line.hpp"
#include "common/text.hpp"
#include "launch/launch_arguments.hpp"
#include "support/fake_install.hpp"
#include "support/fake_join_world.hpp"
#include "support/message_of.hpp"
#include "support/substitute_window.hpp"
#include "update/prepare_launcher.hpp"
#include "update/protocol_registration.hpp"
#include "update/update_client.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::FakeJoinWorld;
using testing::messageOf;
using testing::SubstituteWindow;
using Texts = std::vector<std::wstring>;
using Finishes = std::vector<FinishMode>;

constexpr std::uint64_t kRunning = 2026092001;
constexpr std::uint64_t kNewer = 2026092002;
constexpr std::uint32_t kClient = 8;
const std::wstring kLink = std::wstring(L"txqjoin://enter/?ticket=") + toWide(FakeJoinWorld::kTicket);

// The install and the join of one click, the update host up to date unless a test says otherwise.
struct JoinWorlds {
    testing::InstallWorld install;
    FakeJoinWorld join;
    const std::string running = testing::readFile(install.locations.module);

    JoinWorlds() {
        install.serve(kUpdateManifestPath, 200, releaseToJson(testing::releaseOf(kRunning, running)).dump());
        // The launch path, scripted to succeed.
        join.censuses = {{}, {}, {}, {}, {join.client(kClient, L"-tools -addon txqarena +connect [A:1:123:45]")}};
        join.showWindow(kClient);
        join.answerLobby("context", {{200, join.entry}});
        join.answerLobby("consume", {{200, join.entry}});
    }
    JoinTaskWorld task() { return {install.system, join.platform(), join.game(), join.settings()}; }
    void installNewerBuild() {
        const std::string newer = testing::fakeImage(90'000, 'u');
        testing::writeFile(install.versionExe(kNewer), newer);
        testing::writeFile(install.root() / "active.json", releaseToJson(testing::releaseOf(kNewer, newer)).dump(2));
    }
    Release active() { return parseRelease(nlohmann::json::parse(testing::readFile(install.root() / "active.json"))); }
};

struct JoinTask : ::testing::Test, JoinWorlds {
    SubstituteWindow window;
    std::filesystem::path switchTarget;

    void run(const std::string& ticket) {
        runJoinTask(task(), ticket, switchTarget, window);
        window.pump();
    }
};

TEST_F(JoinTask, WithoutATicketInstallsWithoutReportingAndClosesLater) {
    run("");
    EXPECT_TRUE(join.lobby.requests.empty());
    EXPECT_EQ(window.texts, (Texts{kCheckingForUpdate, kInstalled}));
    EXPECT_NE(window.text.find(L"已启用自动更新。\r\n返回大厅"), std::wstring::npos);
    EXPECT_EQ(window.finishes, Finishes{FinishMode::closeLater});
    EXPECT_TRUE(window.closeTimer);
    EXPECT_FALSE(window.destroyed);
    EXPECT_EQ(testing::readFile(install.versionExe(kRunning)), running);
    EXPECT_EQ(install.requested, Texts{kUpdateManifestPath});
    EXPECT_TRUE(switchTarget.empty());
}

TEST_F(JoinTask, AJoinReportsEarlyChecksForUpdatesThenEntersAndClosesLater) {
    run(FakeJoinWorld::kTicket);
    const std::vector<std::string> requests = join.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0], testing::progressRequest("checking"));
    EXPECT_EQ(requests[1], testing::contextRequest());
    EXPECT_EQ(join.processes.starts.size(), 1u);
    ASSERT_GE(window.texts.size(), 3u);
    EXPECT_EQ(window.texts.front(), kCheckingForUpdate);
    EXPECT_EQ(window.text, kJoinedInFront);
    EXPECT_EQ(window.finishes, Finishes{FinishMode::closeLater});
    EXPECT_TRUE(window.closeTimer);
    window.timerFires();
    EXPECT_TRUE(window.destroyed);
}

TEST_F(JoinTask, AJoinWhoseWindowStaysBehindKeepsTheWindowOpen) {
    join.windows.foregroundByDefault = false;
    run(FakeJoinWorld::kTicket);
    EXPECT_EQ(window.text, kJoinedSwitchByHand);
    EXPECT_EQ(window.finishes, Finishes{FinishMode::keepOpen});
    EXPECT_FALSE(window.closeTimer);
    EXPECT_FALSE(window.destroyed);
}

TEST(JoinTaskFailure, EndsWithItsMessageAndTheWindowOpenUntilClosed) {
    const struct {
        const char* name;
        std::function<void(JoinWorlds&)> script;
        std::string message;
    } cases[] = {
        {"several clients",
         [](JoinWorlds& worlds) {
             worlds.join.censuses = {{worlds.join.client(7, L"-novid"), worlds.join.client(9, L"-novid")}};
         },
         kSeveralClients},
        // A failure of another kind than the shared error must not end the process from the
        // worker thread: it is shown the same way.
        {"install stopped", [](JoinWorlds& worlds) { worlds.install.budget.limit = 0; }, "the world stopped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JoinWorlds worlds;
        c.script(worlds);
        SubstituteWindow shown;
        std::filesystem::path target;
        runJoinTask(worlds.task(), FakeJoinWorld::kTicket, target, shown);
        shown.pump();
        EXPECT_EQ(shown.text, toWide(c.message));
        EXPECT_EQ(shown.finishes, Finishes{FinishMode::keepOpen});
        EXPECT_FALSE(shown.closeTimer);
        EXPECT_FALSE(shown.destroyed);
        shown.pressClose();
        EXPECT_TRUE(shown.destroyed);
        EXPECT_TRUE(target.empty());
    }
}

TEST_F(JoinTask, ANewerBuildTakesOverWithoutEnteringAndClosesAtOnce) {
    installNewerBuild();
    run(FakeJoinWorld::kTicket);
    EXPECT_EQ(switchTarget, install.versionExe(kNewer));
    EXPECT_EQ(window.text, kSwitchingToNewerBuild);
    EXPECT_EQ(window.finishes, Finishes{FinishMode::closeNow});
    EXPECT_TRUE(window.destroyed);
    // Only the early report: enter never asked for the Entry.
    EXPECT_EQ(join.requests(), std::vector<std::string>{testing::progressRequest("checking")});
}

TEST(StatusWindowState, CloseIsRefusedWhileTheTaskRunsUntilTheNextTextAndWorksAfter) {
    SubstituteWindow window;
    window.pressClose();
    window.pump();
    EXPECT_FALSE(window.destroyed);
    EXPECT_EQ(window.text, kStillRunning);
    window.setStatusText(L"one");
    window.setStatusText(L"two");
    window.setStatusText(L"three");
    window.pump();
    EXPECT_EQ(window.texts, (Texts{kStillRunning, L"one", L"two", L"three"}));
    window.finish(FinishMode::keepOpen);
    window.pump();
    EXPECT_FALSE(window.state.taskRunning());
    window.pressClose();
    EXPECT_TRUE(window.destroyed);
    // The worker may still hand over texts after the window is gone: dropped, nothing woken.
    window.setStatusText(L"late");
    window.finish(FinishMode::closeNow);
    EXPECT_EQ(window.queuedWakes(), 0u);
    EXPECT_EQ(window.texts.back(), L"three");
}

// The close button pressed while the task's last text and its finish are on their way: the
// refusal comes first, so the task's reason is what stays.
TEST(StatusWindowState, ARefusedCloseNeverHidesTheTasksLastText) {
    SubstituteWindow window;
    window.setStatusText(L"reason");
    window.finish(FinishMode::keepOpen);
    window.pressClose();
    window.pump();
    EXPECT_EQ(window.texts, (Texts{kStillRunning, L"reason"}));
    EXPECT_FALSE(window.destroyed);
    EXPECT_FALSE(window.state.taskRunning());
    window.pressClose();
    EXPECT_TRUE(window.destroyed);
}

// Wakes carry nothing: one that no worker announced shows nothing and ends nothing.
TEST(StatusWindowState, AForgedWakeShowsNothingAndClosesNothing) {
    SubstituteWindow window;
    window.forgeWake();
    window.pump();
    EXPECT_TRUE(window.texts.empty());
    EXPECT_TRUE(window.state.taskRunning());
    EXPECT_FALSE(window.destroyed);
    window.setStatusText(L"one");
    window.pump();
    window.forgeWake();
    window.forgeWake();
    window.pump();
    EXPECT_EQ(window.texts, Texts{L"one"});
    EXPECT_TRUE(window.state.taskRunning());
    EXPECT_FALSE(window.closeTimer);
}

// Wakes that could not be posted: nothing is lost, and the close button is not refused for good.
TEST(StatusWindowState, LostWakesAreMadeUpByTheNextWakeOrTheCloseButton) {
    SubstituteWindow window;
    window.wakesFail = true;
    window.setStatusText(L"one");
    window.wakesFail = false;
    window.setStatusText(L"two");
    window.pump();
    EXPECT_EQ(window.texts, (Texts{L"one", L"two"}));

    window.wakesFail = true;
    window.setStatusText(L"reason");
    window.finish(FinishMode::keepOpen);
    window.pump();
    EXPECT_TRUE(window.state.taskRunning());
    window.pressClose();
    EXPECT_EQ(window.texts, (Texts{L"one", L"two", kStillRunning, L"reason"}));
    EXPECT_FALSE(window.state.taskRunning());
    EXPECT_FALSE(window.destroyed);
    window.pressClose();
    EXPECT_TRUE(window.destroyed);
}

TEST(StatusWindowState, EveryFinishModeButKeepAndNowClosesLaterAndTheFinishCountsOnce) {
    for (const std::uintptr_t mode : {std::uintptr_t{1}, std::uintptr_t{3}, std::uintptr_t{0x8000}}) {
        SubstituteWindow window;
        window.finish(static_cast<FinishMode>(mode));
        window.finish(FinishMode::closeNow);
        window.pump();
        EXPECT_TRUE(window.closeTimer) << mode;
        EXPECT_FALSE(window.destroyed) << mode;
        window.timerFires();
        EXPECT_TRUE(window.destroyed) << mode;
    }
}

// The join run's resources: the network start and the window, the task run in a substitute.
struct FakeJoinPlatform final : JoinPlatform {
    struct FakeNetwork final : Network {
        explicit FakeNetwork(FakeJoinPlatform& platform) : platform(platform) {}
        ~FakeNetwork() override { platform.events.push_back("network stop"); }
        FakeJoinPlatform& platform;
    };

    std::unique_ptr<Network> startNetwork() override {
        events.push_back("network start");
        check(!networkFails, kNetworkStartFailed);
        return std::make_unique<FakeNetwork>(*this);
    }
    void runStatusWindow(const std::function<void(StatusSink&)>& task) override {
        events.push_back("window");
        check(!windowFails, kWindowCreationFailed);
        task(window);
        window.pump();
        events.push_back("window gone");
    }

    bool networkFails = false;
    bool windowFails = false;
    std::vector<std::string> events;
    SubstituteWindow window;
};

struct JoinMode : ::testing::Test, JoinWorlds {
    FakeJoinPlatform platform;
    testing::FakeNamedLocks joinLock;
    testing::FakeProcesses starter;

    std::string run(const std::string& ticket, const std::wstring* link) {
        return messageOf([&] { runJoinMode({platform, joinLock, starter, task()}, ticket, link); });
    }
};

const std::vector<std::wstring> kLockTaken{std::wstring(L"create ") + kJoinLockName, L"wait 0", L"release", L"close"};

TEST_F(JoinMode, TakesTheLockWithoutWaitingRunsTheWindowAndGivesEverythingBack) {
    for (const testing::LockState state : {testing::LockState::free, testing::LockState::abandoned}) {
        FakeJoinPlatform fresh;
        testing::FakeNamedLocks lock;
        lock.state = state;
        EXPECT_EQ(messageOf([&] { runJoinMode({fresh, lock, starter, task()}, "", nullptr); }), "(no failure)");
        EXPECT_EQ(lock.events, kLockTaken);
        EXPECT_EQ(fresh.events, (std::vector<std::string>{"network start", "window", "window gone", "network stop"}));
        EXPECT_EQ(fresh.window.text, kInstalled);
    }
    EXPECT_TRUE(starter.starts.empty());
}

TEST_F(JoinMode, FailuresBeforeTheWindowUnwindWhatWasTaken) {
    EXPECT_EQ(messageOf([&] {
                  joinLock.state = testing::LockState::heldElsewhere;
                  runJoinMode({platform, joinLock, starter, task()}, FakeJoinWorld::kTicket, &kLink);
              }),
              kJoinAlreadyRunning);
    EXPECT_EQ(joinLock.events,
              (std::vector<std::wstring>{std::wstring(L"create ") + kJoinLockName, L"wait 0", L"close"}));
    EXPECT_EQ(platform.events, (std::vector<std::string>{"network start", "network stop"}));
    EXPECT_TRUE(join.lobby.requests.empty());

    testing::FakeNamedLocks failing;
    failing.createFails = true;
    FakeJoinPlatform other;
    EXPECT_EQ(messageOf([&] { runJoinMode({other, failing, starter, task()}, "", nullptr); }), kJoinLockFailed);
    EXPECT_EQ(other.events, (std::vector<std::string>{"network start", "network stop"}));

    FakeJoinPlatform noNetwork;
    noNetwork.networkFails = true;
    testing::FakeNamedLocks untouched;
    EXPECT_EQ(messageOf([&] {
                  runJoinMode({noNetwork, untouched, starter, task()}, "", nullptr);
              }),
              kNetworkStartFailed);
    EXPECT_TRUE(untouched.events.empty());

    FakeJoinPlatform noWindow;
    noWindow.windowFails = true;
    testing::FakeNamedLocks released;
    EXPECT_EQ(messageOf([&] {
                  runJoinMode({noWindow, released, starter, task()}, "", nullptr);
              }),
              kWindowCreationFailed);
    EXPECT_EQ(released.events, kLockTaken);
}

TEST_F(JoinMode, HandsTheSameLinkOverToTheNewerBuild) {
    installNewerBuild();
    joinLock.log = &platform.events;
    starter.log = &platform.events;
    EXPECT_EQ(run(FakeJoinWorld::kTicket, &kLink), "(no failure)");
    ASSERT_EQ(starter.starts.size(), 1u);
    EXPECT_EQ(starter.starts[0].program, install.versionExe(kNewer));
    EXPECT_EQ(starter.starts[0].commandLine, buildCommandLine(install.versionExe(kNewer), {kLink}));
    EXPECT_EQ(joinLock.events, kLockTaken);
    // The newer build takes the lock for the same join: it is free, and the network stopped,
    // before the start.
    EXPECT_EQ(platform.events,
              (std::vector<std::string>{"network start", "lock create Local\\TXQWebEntry", "lock wait 0", "window",
                                        "window gone", "lock release", "lock close", "network stop",
                                        "process start TXQNativeConnector.exe", "process close TXQNativeConnector.exe"}));
}

TEST(JoinModeHandOver, WithoutATicketTheNewerBuildStartsWithoutArguments) {
    JoinWorlds noTicket;
    noTicket.installNewerBuild();
    FakeJoinPlatform other;
    testing::FakeNamedLocks lock;
    testing::FakeProcesses started;
    EXPECT_EQ(messageOf([&] { runJoinMode({other, lock, started, noTicket.task()}, "", nullptr); }), "(no failure)");
    ASSERT_EQ(started.starts.size(), 1u);
    EXPECT_EQ(started.starts[0].commandLine, buildCommandLine(noTicket.install.versionExe(kNewer), {}));
}

TEST_F(JoinMode, AHandOverThatCannotStartMakesTheRunningBuildActiveAgain) {
    installNewerBuild();
    starter.startFails = true;
    EXPECT_EQ(run(FakeJoinWorld::kTicket, &kLink), kLaunchFailed);
    EXPECT_EQ(active(), testing::releaseOf(kRunning, running));
    EXPECT_EQ(install.registry.values[kProtocolCommandKey][L""], protocolCommand(install.versionExe(kRunning)));
}

}  // namespace
}  // namespace quorvel
