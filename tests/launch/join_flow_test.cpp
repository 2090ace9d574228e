#include "launch/join_flow.hpp"

#include "clients/process_info.hpp"
#include "common/command_line.hpp"
#include "common/text.hpp"
#include "launch/launch_arguments.hpp"
#include "launch/steam_engine.hpp"
#include "support/fake_join_world.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace quorvel {
namespace {

using testing::consumeRequest;
using testing::contextRequest;
using testing::FakeJoinWorld;
using testing::FakeProcess;
using testing::progressRequest;
using Lines = std::vector<std::string>;
using Texts = std::vector<std::wstring>;

constexpr std::uint32_t kOld = 7;  // the client running before the join
constexpr std::uint32_t kNew = 8;  // the client Steam starts
const std::wstring kRightMode = L"-tools -addon TXQArena";
const std::wstring kOtherMode = L"-novid";
const std::wstring kLaunched = L"-tools -addon txqarena +connect [A:1:123:45]";
const std::string kConnectEvent = "requests 193 ([A:1:123:45], )";
constexpr const char* kEntryChanged = "房间连接信息已变化，请重新点击启动游戏";
constexpr const char* kClientChangedOrMoved = "Dota 进程或安装目录已变化";
constexpr const char* kOtherAccount = "Steam 当前账号与大厅登录账号不同，请切换为同一个账号后重试。";

const std::wstring kCheckingText = L"正在检查 Dota、Steam 和地图资源…";
const std::wstring kSilentCheckText = L"正在检查 Steam 静默连接接口…";
const std::wstring kConnectingText = L"正在通过 Steam 连接服务器…";
const std::wstring kRestoringText = L"正在正常重启 Dota，以恢复标准启动模式…";
const std::wstring kSwitchingText = L"正在正常重启 Dota，以切换游戏运行模式…";
const std::wstring kLaunchingText = L"正在通过 Steam 启动 Dota 并连接…";
const std::wstring kSentText = L"连接请求已提交，正在将 Dota 切到前台…";
const std::wstring kFailedText = L"连接未完成";
const std::wstring kUncertainText = L"连接可能已提交，请查看游戏。不会自动重复连接。";

int connectRequests(const FakeJoinWorld& world) {
    return static_cast<int>(std::count(world.steam.events.begin(), world.steam.events.end(), kConnectEvent));
}

std::size_t positionOf(const Lines& calls, const std::string& prefix) {
    const auto found =
        std::find_if(calls.begin(), calls.end(), [&](const std::string& call) { return call.starts_with(prefix); });
    return static_cast<std::size_t>(found - calls.begin());
}

// The three paths, each scripted to succeed.
void silentPath(FakeJoinWorld& world) {
    world.censuses = {{world.client(kOld, kRightMode)}};
    world.showWindow(kOld);
}

void restartPath(FakeJoinWorld& world, const std::wstring& oldArguments = kOtherMode) {
    world.censuses = {{world.client(kOld, oldArguments)}, {}, {}, {world.client(kNew, kLaunched)}};
    world.showWindow(kOld);
    world.showWindow(kNew);
}

void launchPath(FakeJoinWorld& world) {
    world.censuses = {{}, {}, {}, {}, {world.client(kNew, kLaunched)}};
    world.showWindow(kNew);
}

// What every join must show, success or failure: nothing left open, the Ticket consumed at most
// once, the irreversible action taken at most once.
void expectClean(const FakeJoinWorld& world) {
    EXPECT_EQ(world.openNow(), 0);
    EXPECT_LE(world.consumes(), 1);
    EXPECT_LE(connectRequests(world) + static_cast<int>(world.processes.starts.size()), 1);
}

TEST(JoinFlow, SilentPathConsumesAfterTheEngineOpenedAndConnectsOnce) {
    FakeJoinWorld world;
    silentPath(world);
    const auto outcome = world.enter();
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(outcome.result, true);
    EXPECT_EQ(world.requests(), (Lines{contextRequest(), progressRequest("checking"), progressRequest("checking"),
                                       progressRequest("connecting"), consumeRequest(), progressRequest("sent")}));
    EXPECT_EQ(world.shown, (Texts{kCheckingText, kSilentCheckText, kConnectingText, kSentText}));
    EXPECT_EQ(connectRequests(world), 1);
    EXPECT_TRUE(world.processes.starts.empty());
    // The Ticket goes only once the engine stands; the session is released by the end.
    EXPECT_LT(positionOf(world.calls, "steam engine 13"), positionOf(world.calls, "lobby consume"));
    EXPECT_LT(positionOf(world.calls, "lobby consume"), positionOf(world.calls, "steam " + kConnectEvent));
    const auto& events = world.steam.events;
    EXPECT_EQ(events.back(), "close");
    EXPECT_EQ(world.windows.foreground, WindowHandle{kOld * 10});
    expectClean(world);
}

TEST(JoinFlow, LaunchPathStartsSteamWithTheArgumentsAndWaitsForTheClient) {
    FakeJoinWorld world;
    launchPath(world);
    const auto outcome = world.enter();
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(outcome.result, true);
    EXPECT_EQ(world.requests(), (Lines{contextRequest(), progressRequest("checking"), contextRequest(),
                                       progressRequest("launching"), consumeRequest(), progressRequest("sent")}));
    EXPECT_EQ(world.shown, (Texts{kCheckingText, kLaunchingText, kSentText}));
    ASSERT_EQ(world.processes.starts.size(), 1u);
    const std::filesystem::path steamExe = world.steamFolder / "steam.exe";
    EXPECT_EQ(world.processes.starts[0].program, steamExe);
    EXPECT_EQ(world.processes.starts[0].currentDirectory, world.steamFolder);
    EXPECT_EQ(world.processes.starts[0].commandLine,
              quoteArgument(steamExe.wstring()) +
                  L" \"-applaunch\" \"570\" \"-tools\" \"-addon\" \"txqarena\" \"+connect\" \"[A:1:123:45]\"");
    // Two censuses before the start, then one round without the client and one with it.
    EXPECT_EQ(world.sleeper.waits, (std::vector<std::uint32_t>{kLaunchPauseMs, 100}));
    EXPECT_EQ(world.windows.foreground, WindowHandle{kNew * 10});
    EXPECT_EQ(connectRequests(world), 0);
    expectClean(world);
}

TEST(JoinFlow, RestartClosesTheClientWaitsForItsExitAndLaunches) {
    struct Case {
        std::wstring arguments;
        std::wstring text;
    };
    for (const Case& c : {Case{kOtherMode, kSwitchingText}, Case{kRightMode + L" -INSECURE", kRestoringText},
                          Case{kOtherMode + L" -insecure", kRestoringText}}) {
        SCOPED_TRACE(toNarrow(c.arguments));
        FakeJoinWorld world;
        restartPath(world, c.arguments);
        const auto outcome = world.enter();
        EXPECT_EQ(outcome.message, "");
        EXPECT_EQ(outcome.result, true);
        EXPECT_EQ(world.requests(),
                  (Lines{contextRequest(), progressRequest("checking"), contextRequest(), progressRequest("restarting"),
                         contextRequest(), progressRequest("launching"), consumeRequest(), progressRequest("sent")}));
        EXPECT_EQ(world.shown, (Texts{kCheckingText, c.text, kLaunchingText, kSentText}));
        EXPECT_EQ(world.processes.events,
                  (Lines{"open 7", "wait 30000", "close 7", "start steam.exe", "close steam.exe"}));
        // Closed only after the handle pinned the process; the handle gone before the launch.
        EXPECT_LT(positionOf(world.calls, "open for waiting"), positionOf(world.calls, "postClose"));
        EXPECT_LT(positionOf(world.calls, "wait for exit"), positionOf(world.calls, "start program"));
        EXPECT_EQ(std::count(world.windows.calls.begin(), world.windows.calls.end(), "close 70"), 1);
        EXPECT_EQ(world.processes.starts.size(), 1u);
        EXPECT_EQ(connectRequests(world), 0);
        expectClean(world);
    }
}

// Failures and their reports, one scripted world each.
struct Scenario {
    const char* name;
    std::function<void(FakeJoinWorld&)> script;
    std::string message;
    Lines lobby;  // the requests: "context", "consume", or the phase of a progress report
    int actions;  // connect requests and launches
    std::optional<Lines> windowCalls = std::nullopt;  // the window system's record, where it shows what was touched
};

// The requests as the lobby receives them, endpoint and body.
Lines requestsOf(const Lines& lobby) {
    Lines requests;
    for (const std::string& request : lobby) {
        if (request == "context") {
            requests.push_back(contextRequest());
        } else if (request == "consume") {
            requests.push_back(consumeRequest());
        } else {
            requests.push_back(progressRequest(request));
        }
    }
    return requests;
}

// Runs `change` as the lobby is asked for `endpoint` the `occurrence`th time, before it answers.
void onRequest(FakeJoinWorld& world, const std::string& endpoint, int occurrence, std::function<void()> change) {
    auto seen = std::make_shared<int>(0);
    world.onLobbyRequest = [counted = world.onLobbyRequest, endpoint, occurrence, change,
                            seen](const std::string& asked) {
        counted(asked);
        if (asked == endpoint && ++*seen == occurrence) change();
    };
}

// A dota2.exe that is not the one under the Dota root.
std::filesystem::path elsewhere(const FakeJoinWorld& world) {
    const std::filesystem::path exe = world.dir / "elsewhere" / "dota2.exe";
    testing::writeFile(exe, "MZ");
    return exe;
}

void changedEntry(FakeJoinWorld& world, const char* endpoint, int which) {
    nlohmann::json changed = world.entry;
    changed["serverSteamId"] = "[A:1:123:46]";
    std::vector<FakeJoinWorld::LobbyAnswer> answers(which, {200, world.entry});
    answers.push_back({200, changed});
    world.answerLobby(endpoint, answers);
}

const Scenario kScenarios[] = {
    {"expired Entry",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.entry["expiresAt"] = world.clock.time;
     },
     "连接信息已过期，请回大厅重新点击",
     {"context"},
     0},
    {"two clients",
     [](FakeJoinWorld& world) {
         world.censuses = {{world.client(kOld, kRightMode), world.client(kNew, kRightMode)}};
     },
     kSeveralClients,
     {"context", "checking"},
     0},
    {"a dedicated server is no client",
     [](FakeJoinWorld& world) {
         launchPath(world);
         for (auto& census : world.censuses) census.push_back(world.client(20, L"-dedicated"));
     },
     "",
     {"context", "checking", "context", "launching", "consume", "sent"},
     1},
    {"the client is another installation's",
     [](FakeJoinWorld& world) { world.censuses = {{world.client(kOld, kRightMode, elsewhere(world))}}; },
     kClientChangedOrMoved,
     {"context", "checking", "failed"},
     0},
    {"silent: the engine cannot be opened",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.steam.loadFails = true;
     },
     kSteamClientLoadFailed,
     {"context", "checking", "checking", "failed"},
     0},
    {"silent: the client went between census and consume",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.censuses.push_back({});
     },
     kClientChangedClickAgain,
     {"context", "checking", "checking", "connecting", "consume", "failed"},
     0},
    {"silent: another client in its place",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.censuses.push_back({world.client(kNew, kRightMode)});
     },
     kClientChangedClickAgain,
     {"context", "checking", "checking", "connecting", "consume", "failed"},
     0},
    {"silent: another process behind the id at the confirm",
     [](FakeJoinWorld& world) {
         silentPath(world);
         FakeProcess successor = world.client(kOld, kRightMode);
         successor.creationTime += 1;
         world.censuses.push_back({successor});
     },
     kClientChangedOrMoved,
     {"context", "checking", "checking", "connecting", "consume", "failed"},
     0},
    {"silent: the account changed before the connect",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.failingNamed = {"activeUser", 2};
     },
     "injected failure of activeUser",
     {"context", "checking", "checking", "connecting", "consume", "failed"},
     0},
    {"silent: the connect request fails",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.failingNamed = {"steam requests 193"};
     },
     kConnectUncertain,
     {"context", "checking", "checking", "connecting", "consume", "uncertain"},
     1},
    {"silent: consume answers another Entry",
     [](FakeJoinWorld& world) {
         silentPath(world);
         changedEntry(world, "consume", 0);
     },
     kEntryChanged,
     {"context", "checking", "checking", "connecting", "consume", "failed"},
     0},
    {"restart: context answers another Entry",
     [](FakeJoinWorld& world) {
         restartPath(world);
         changedEntry(world, "context", 1);
     },
     kEntryChanged,
     {"context", "checking", "context", "failed"},
     0},
    {"restart: another process behind the id before the close",
     [](FakeJoinWorld& world) {
         restartPath(world);
         onRequest(world, "context", 2, [&world] { world.processTable.processes[0].creationTime += 1; });
     },
     kClientChangedOrMoved,
     {"context", "checking", "context", "restarting", "failed"},
     0,
     Lines{}},
    {"restart: no Dota window",
     [](FakeJoinWorld& world) {
         restartPath(world);
         world.windows.windows.clear();
     },
     kNoDotaWindow,
     {"context", "checking", "context", "restarting", "failed"},
     0},
    {"restart: the process cannot be opened for waiting",
     [](FakeJoinWorld& world) {
         restartPath(world);
         world.processes.openFails = true;
     },
     kProcessChanged,
     {"context", "checking", "context", "restarting", "failed"},
     0},
    {"restart: another process behind the id once pinned",
     [](FakeJoinWorld& world) {
         restartPath(world);
         world.processes.onOpen = [&world] { world.processTable.processes[0].creationTime += 1; };
     },
     kClientChangedOrMoved,
     {"context", "checking", "context", "restarting", "failed"},
     0,
     Lines{"enumerate"}},
    {"restart: the exit prompt was cancelled",
     [](FakeJoinWorld& world) {
         restartPath(world);
         world.processes.opened.ends = false;
     },
     kDotaNotExited,
     {"context", "checking", "context", "restarting", "failed"},
     0},
    {"restart: the client still runs afterwards",
     [](FakeJoinWorld& world) {
         restartPath(world);
         world.censuses[1] = world.censuses[0];
     },
     kDotaAlreadyRunning,
     {"context", "checking", "context", "restarting", "failed"},
     0},
    {"launch: steam.exe missing",
     [](FakeJoinWorld& world) {
         launchPath(world);
         std::filesystem::remove(world.steamFolder / "steam.exe");
     },
     kSteamLauncherMissing,
     {"context", "checking", "failed"},
     0},
    {"launch: Dota started before the launcher was found",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses[1] = {world.client(kNew, kRightMode)};
     },
     kDotaAlreadyRunning,
     {"context", "checking", "failed"},
     0},
    {"launch: context answers another Entry",
     [](FakeJoinWorld& world) {
         launchPath(world);
         changedEntry(world, "context", 1);
     },
     kEntryChanged,
     {"context", "checking", "context", "failed"},
     0},
    {"launch: consume answers another Entry",
     [](FakeJoinWorld& world) {
         launchPath(world);
         changedEntry(world, "consume", 0);
     },
     kEntryChanged,
     {"context", "checking", "context", "launching", "consume", "failed"},
     0},
    {"launch: Dota appeared during the confirm",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses[2] = {world.client(kNew, kLaunched)};
     },
     kDotaJustStarted,
     {"context", "checking", "context", "launching", "consume", "failed"},
     0},
    {"launch: the account changed before the launch",
     [](FakeJoinWorld& world) {
         launchPath(world);
         onRequest(world, "consume", 1, [&world] { world.registry.account = FakeJoinWorld::kAccount + 1; });
     },
     kOtherAccount,
     {"context", "checking", "context", "launching", "consume", "failed"},
     0},
    {"launch: Steam cannot be started",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.processes.startFails = true;
     },
     kConnectUncertain,
     {"context", "checking", "context", "launching", "consume", "uncertain"},
     1},
    {"launch: several clients after the launch",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses.back().push_back(world.client(9, kLaunched));
     },
     kConnectUncertain,
     {"context", "checking", "context", "launching", "consume", "uncertain"},
     1},
    {"launch: +connect differs in letter case",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses.back() = {world.client(kNew, L"-tools -addon txqarena +connect [a:1:123:45]")};
     },
     kConnectUncertain,
     {"context", "checking", "context", "launching", "consume", "uncertain"},
     1},
    {"launch: +connect token in capitals is still the token",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses.back() = {world.client(kNew, L"-TOOLS -addon TXQARENA +CONNECT [A:1:123:45]")};
     },
     "",
     {"context", "checking", "context", "launching", "consume", "sent"},
     1},
    {"launch: the client runs in another mode",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses.back() = {world.client(kNew, L"+connect [A:1:123:45]")};
     },
     kConnectUncertain,
     {"context", "checking", "context", "launching", "consume", "uncertain"},
     1},
    {"launch: the client has -insecure",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses.back() = {world.client(kNew, kLaunched + L" -insecure")};
     },
     kConnectUncertain,
     {"context", "checking", "context", "launching", "consume", "uncertain"},
     1},
    {"launch: the client is another installation's",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.censuses.back() = {world.client(kNew, kLaunched, elsewhere(world))};
     },
     kConnectUncertain,
     {"context", "checking", "context", "launching", "consume", "uncertain"},
     1},
    {"the first status text cannot be shown",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.failingNamed = {"show status"};
     },
     "injected failure of show status: 正在检查 Dota、Steam 和地图资源…",
     {"context"},
     0},
    {"a status text after the census cannot be shown",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.failingNamed = {"show status", 2};
     },
     "injected failure of show status: 正在通过 Steam 启动 Dota 并连接…",
     {"context", "checking", "context", "failed"},
     0},
    {"the sent text cannot be shown",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.failingNamed = {"show status", 4};
     },
     kConnectUncertain,
     {"context", "checking", "checking", "connecting", "consume", "uncertain"},
     1},
    // The failure itself still reaches the player when its report cannot be shown.
    {"the failed text cannot be shown",
     [](FakeJoinWorld& world) {
         restartPath(world);
         world.windows.windows.clear();
         world.failingNamed = {"show status: " + toNarrow(kFailedText)};
     },
     kNoDotaWindow,
     {"context", "checking", "context", "restarting"},
     0},
    {"the uncertain text cannot be shown",
     [](FakeJoinWorld& world) {
         launchPath(world);
         world.processes.startFails = true;
         world.failingNamed = {"show status: " + toNarrow(kUncertainText)};
     },
     kConnectUncertain,
     {"context", "checking", "context", "launching", "consume"},
     1},
    {"no window to bring forward",
     [](FakeJoinWorld& world) {
         silentPath(world);
         world.windows.windows.clear();
     },
     "",
     {"context", "checking", "checking", "connecting", "consume", "sent"},
     1},
};

TEST(JoinFlow, Scenarios) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        FakeJoinWorld world;
        scenario.script(world);
        const auto outcome = world.enter();
        EXPECT_EQ(outcome.message, scenario.message);
        EXPECT_EQ(world.requests(), requestsOf(scenario.lobby));
        EXPECT_EQ(connectRequests(world) + static_cast<int>(world.processes.starts.size()), scenario.actions);
        if (scenario.windowCalls) {
            EXPECT_EQ(world.windows.calls, *scenario.windowCalls);
        }
        // What the player saw last matches the outcome reported.
        if (scenario.lobby.back() == "failed") {
            EXPECT_EQ(world.shown.back(), kFailedText);
        } else if (scenario.lobby.back() == "uncertain") {
            EXPECT_EQ(world.shown.back(), kUncertainText);
        }
        expectClean(world);
    }
}

TEST(JoinFlow, ALaunchThatNeverShowsWaitsNinetyRoundsAndIsUncertain) {
    FakeJoinWorld world;
    world.censuses = {{}};
    const auto outcome = world.enter();
    EXPECT_EQ(outcome.message, kConnectUncertain);
    EXPECT_EQ(world.sleeper.waits, std::vector<std::uint32_t>(kLaunchRounds, kLaunchPauseMs));
    EXPECT_EQ(std::count(world.calls.begin(), world.calls.end(), "snapshot"), 3 + kLaunchRounds);
    EXPECT_EQ(world.phases(), (Lines{"checking", "launching", "uncertain"}));
    EXPECT_EQ(world.processes.starts.size(), 1u);
    expectClean(world);
}

TEST(JoinFlow, AWindowThatCannotBeRaisedMakesTheResultFalseAfterSent) {
    FakeJoinWorld world;
    launchPath(world);
    world.windows.foregroundByDefault = false;
    const auto outcome = world.enter();
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(outcome.result, false);
    EXPECT_EQ(world.phases(), (Lines{"checking", "launching", "sent"}));
    EXPECT_EQ(world.shown.back(), kSentText);
    expectClean(world);
}

TEST(JoinFlow, FailedProgressReportsChangeNothing) {
    FakeJoinWorld world;
    silentPath(world);
    world.answerLobby("helper-progress", {{500, nlohmann::json::object()}});
    const auto outcome = world.enter();
    EXPECT_EQ(outcome.result, true);
    EXPECT_EQ(world.phases(), (Lines{"checking", "checking", "connecting", "sent"}));
    expectClean(world);
}

// Each path run once to count its calls into the world, then once more per call with that call
// failing. A failure up to the action is "failed" (or unreported during the preparation, which
// comes first); from the action to the "sent" text it is "uncertain"; while the window is raised
// it only makes the result false.
TEST(JoinFlow, FaultSweep) {
    struct Path {
        const char* name;
        std::function<void(FakeJoinWorld&)> script;
        std::string action;  // the first call of the irreversible step
    };
    const Path paths[] = {{"silent", [](FakeJoinWorld& world) { silentPath(world); }, "steam " + kConnectEvent},
                          {"restart", [](FakeJoinWorld& world) { restartPath(world); }, "start program"},
                          {"launch", launchPath, "start program"}};
    for (const Path& path : paths) {
        SCOPED_TRACE(path.name);
        Lines calls;
        {
            FakeJoinWorld world;
            path.script(world);
            ASSERT_EQ(world.enter().result, true);
            calls = world.calls;
        }
        const std::size_t action = positionOf(calls, path.action) + 1;
        const std::size_t sent = positionOf(calls, "show status: " + toNarrow(kSentText)) + 1;
        ASSERT_LT(action, sent);
        ASSERT_LT(sent, calls.size());
        bool reported = false;  // once a failure is reported, every later one before the action is too
        for (std::size_t failing = 1; failing <= calls.size(); ++failing) {
            SCOPED_TRACE(std::to_string(failing) + ": " + calls[failing - 1]);
            FakeJoinWorld world;
            path.script(world);
            world.failingCall = failing;
            const auto outcome = world.enter();
            ASSERT_EQ(world.calls[failing - 1], calls[failing - 1]);
            const Lines phases = world.phases();
            if (failing > sent) {
                EXPECT_EQ(outcome.message, "");
                EXPECT_EQ(outcome.result, false);
                EXPECT_EQ(phases.back(), "sent");
            } else if (failing >= action) {
                EXPECT_EQ(outcome.message, kConnectUncertain);
                EXPECT_EQ(phases.back(), "uncertain");
                EXPECT_EQ(world.consumes(), 1);
            } else {
                EXPECT_FALSE(outcome.result.has_value());
                EXPECT_EQ(outcome.message, "injected failure of " + calls[failing - 1]);
                const bool failed = !phases.empty() && phases.back() == "failed";
                EXPECT_TRUE(failed || phases == Lines{} || phases == Lines{"checking"});
                EXPECT_TRUE(failed || !reported);
                reported = failed;
                EXPECT_EQ(std::count(phases.begin(), phases.end(), "failed"), failed ? 1 : 0);
            }
            EXPECT_EQ(std::count(phases.begin(), phases.end(), "uncertain") +
                          std::count(phases.begin(), phases.end(), "sent"),
                      failing >= action ? 1 : 0);
            expectClean(world);
        }
    }
}

}  // namespace
}  // namespace quorvel
