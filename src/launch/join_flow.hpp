#pragma once
// The join: from a Ticket to a connected Dota client in front, through the silent connect, a
// restart or a launch, with the commit point that decides between "failed" and "uncertain".

#include "common/progress.hpp"
#include "launch/steam_client_pin.hpp"
#include "outside/game_side.hpp"
#include "platform/https.hpp"
#include "platform/platform.hpp"

#include <cstdint>
#include <string>

namespace quorvel {

inline constexpr const char* kSeveralClients = "发现多个 Dota 客户端，请保留一个后再试";
inline constexpr const char* kClientChangedClickAgain = "Dota 进程已变化，请重新点击启动游戏。";
inline constexpr const char* kNoDotaWindow = "未找到 Dota 窗口，请手动退出后重试";
inline constexpr const char* kDotaNotExited = "Dota 尚未退出，请处理退出提示后重试";
inline constexpr const char* kDotaAlreadyRunning = "Dota 已启动，请回大厅重新点击";
inline constexpr const char* kDotaJustStarted = "Dota 刚刚启动，已停止重复启动";
inline constexpr const char* kSeveralClientsAfterLaunch = "启动后发现多个客户端，请查看游戏";
inline constexpr const char* kLaunchUnconfirmed = "未确认 Dota 的目标启动参数，请查看游戏";
inline constexpr const char* kInsecureStillSet =
    "Steam 自定义启动选项仍包含 -insecure，请在 Steam 中移除后重新启动 Dota。";
inline constexpr const char* kLaunchTimedOut = "等待 Dota 启动超时，请查看 Steam 启动提示";
inline constexpr const char* kConnectUncertain =
    "连接可能已提交，但未确认后续结果。请查看 Steam 或 Dota，不会自动重复连接。";

inline constexpr std::uint32_t kExitWaitMs = 30'000;
inline constexpr int kLaunchRounds = 90;
inline constexpr std::uint32_t kLaunchPauseMs = 1'000;

// What a join takes besides the platform and the game side: where the lobby is, and the build of
// Steam's client library that the silent connect accepts.
struct JoinSettings {
    HttpHost lobbyHost;
    const SteamClientPin& steamClient;
};

// Fetches and validates the Entry for `ticket`, checks Dota, the map and the account, and
// connects the one running client silently, restarts it, or launches Dota through Steam,
// reporting each phase through `progress` and to the lobby. True when the Dota window is in front
// at the end, false when the connect request was made but the window could not be brought
// forward. A failure before the commit point is reported as "failed" and passes on with its own
// message (none is reported while the Entry, game files, account and census are checked); from
// the commit point on, it is reported as "uncertain" and fails with kConnectUncertain.
// From the platform it uses the clock (the Entry's expiry), the files (Dota root and map files),
// the windows (Dota's window: closing and raising it), the sleeper (waiting for a launched client
// and its window), the processes (steam.exe's start, waiting for a closed client to end), the
// transport and tick clock (the lobby), and the locked files, process environment and module
// loader (the silent connect).
bool enter(const Platform& platform, const GameSide& game, const JoinSettings& settings, const std::string& ticket,
           ProgressCallback progress);

}  // namespace quorvel
