#pragma once
// The join mode: the join task on the worker thread and the run around it (network, join lock,
// Status window, hand-over to a newer build). JoinPlatform seam: Win32JoinPlatform
// (join_platform_win32.hpp), fake testing::FakeJoinPlatform (tests/app/join_mode_test.cpp).

#include "app/status_window.hpp"
#include "launch/join_flow.hpp"
#include "platform/named_lock.hpp"
#include "platform/process.hpp"
#include "update/install_system.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace quorvel {

inline constexpr const wchar_t* kJoinLockName = L"Local\\TXQWebEntry";
inline constexpr const char* kNetworkStartFailed = "网络初始化失败";
inline constexpr const char* kJoinLockFailed = "无法创建连接任务锁";
inline constexpr const char* kJoinAlreadyRunning = "另一个连接任务正在执行，请查看原助手窗口";
inline constexpr const char* kWindowCreationFailed = "窗口创建失败";
inline constexpr const wchar_t* kSwitchingToNewerBuild = L"更新完成，正在切换新版助手…";
inline constexpr const wchar_t* kJoinedInFront = L"已提交连接并切到 Dota 前台。此窗口将在 3 秒后关闭。";
inline constexpr const wchar_t* kJoinedSwitchByHand = L"连接已提交。请手动切换到 Dota 查看结果，无需重复连接。";
inline constexpr const wchar_t* kInstalled =
    L"Quorvel已安装，已启用自动更新。\r\n返回大厅点击“启动游戏”即可连接。窗口将在 3 秒后关闭。";

// What the join task reaches: the install for the update check; the platform, the game side and
// the settings of the join, whose lobby also takes the early report.
struct JoinTaskWorld {
    InstallSystem& install;
    const Platform& platform;
    const GameSide& game;
    JoinSettings join;
};

// The body of the worker thread: the early "checking" report (with a Ticket), prepareLauncher,
// then enter (with a Ticket) or the installed text, and the finish mode. A newer build selected
// by the update check is stored in `switchTarget` and closes the window at once. Never lets a
// failure escape: its message becomes the last text and the window stays open.
void runJoinTask(const JoinTaskWorld& world, const std::string& ticket, std::filesystem::path& switchTarget,
                 StatusSink& window);

// The process-wide resources of one join run.
class JoinPlatform {
public:
    class Network {
    public:
        virtual ~Network() = default;  // stops the socket library
    };
    virtual ~JoinPlatform() = default;
    // Starts the socket library 2.2; fails with kNetworkStartFailed.
    virtual std::unique_ptr<Network> startNetwork() = 0;
    // Creates the Status window, starts `task` on the worker thread, runs the message loop until
    // the window is destroyed and waits for the thread. Fails with kWindowCreationFailed, or with
    // the thread library's error when the thread cannot start.
    virtual void runStatusWindow(const std::function<void(StatusSink&)>& task) = 0;
};

// Everything the join mode reaches.
struct JoinModeSystem {
    JoinPlatform& platform;
    NamedLocks& locks;        // the join lock
    Processes& starter;  // the hand-over start
    JoinTaskWorld task;
};

// The join mode for `ticket` (empty without a link); `link` is the argument it came from, passed
// on unchanged to a newer build, or null. A failed hand-over start re-activates the running build
// before its failure passes on.
void runJoinMode(const JoinModeSystem& system, const std::string& ticket, const std::wstring* link);

}  // namespace quorvel
