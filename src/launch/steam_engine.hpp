#pragma once
// The silent connect through Steam's client library: the session, its opening with every check,
// the connect request and the release.

#include "launch/steam_client_pin.hpp"
#include "outside/game_side.hpp"
#include "outside/steam_registry.hpp"
#include "platform/files.hpp"
#include "platform/locked_file.hpp"
#include "platform/modules.hpp"
#include "platform/platform.hpp"
#include "platform/process_environment.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr const char* kSteamClientFileLocked = "无法检查 Steam 组件，Steam 可能正在更新，请稍后重试。";
inline constexpr const char* kSteamClientSizeAbnormal = "Steam 组件大小异常";
inline constexpr const char* kSteamClientReadFailed = "读取 Steam 组件失败";
inline constexpr const char* kSteamVersionUnsupported =
    "当前 Steam 版本暂不支持静默连接，请更新助手；也可手动退出 Dota 后重新点击启动游戏。";
inline constexpr const char* kSteamContextFailed = "无法初始化 Steam 游戏上下文";
inline constexpr const char* kSteamClientLoadFailed = "无法加载本机 Steam 组件，请确认 Steam 正在运行。";
inline constexpr const char* kSteamFactoryMissing = "Steam 接口不存在";
inline constexpr const char* kSteamEngineUnavailable = "Steam 静默接口不可用";
inline constexpr const char* kSteamEngineMismatch = "Steam 静默接口校验失败，请更新助手后重试。";
inline constexpr const char* kSteamConnectionFailed = "无法连接本机 Steam，请确认 Steam 已启动。";
inline constexpr const char* kSteamUserFailed = "无法取得 Steam 登录状态，请重新登录 Steam。";
inline constexpr const char* kServerAddressInvalid = "服务器通知地址无效";

// The outside things the engine session reaches, all owned by the caller.
struct SteamEngineAccess {
    const SteamRegistry& registry;    // the Steam folder
    Files& files;                     // the library's canonical path
    LockedFileOpener& lockedFiles;    // the library file, held for the whole session
    ProcessEnvironment& environment;  // SteamAppId and SteamGameId
    ModuleLoader& modules;            // loading the library
};

// The engine's access over the platform and Steam's registry values.
inline SteamEngineAccess steamEngineAccess(const Platform& platform, const GameSide& game) {
    return {game.steamRegistry, platform.files, platform.lockedFiles, platform.environment, platform.modules};
}

// What one silent connect or check holds of Steam's client library; each member is empty (null,
// 0) until openSteamEngine has acquired it. Not copyable; moving hands everything on. Released by
// closeSteamEngine or, at the latest, when it goes out of scope.
struct SteamEngineSession {
    std::unique_ptr<LoadedModule> library;
    std::unique_ptr<LockedFile> file;  // held open so that nobody replaces the checked library
    void* engine = nullptr;            // the engine interface
    void* requests = nullptr;          // the game-request interface
    std::uint32_t connection = 0;      // 0: none
    std::uint32_t user = 0;            // 0: none

    SteamEngineSession() = default;
    SteamEngineSession(SteamEngineSession&& other) noexcept;
    SteamEngineSession& operator=(SteamEngineSession&&) = delete;
    SteamEngineSession(const SteamEngineSession&) = delete;
    SteamEngineSession& operator=(const SteamEngineSession&) = delete;
    ~SteamEngineSession();
};

// Finds, reads and verifies Steam's client library against the built-in pin, sets the game
// context, loads the library and obtains the engine, a connection, the user and the game-request
// interface, checking each operation's place before its first call. Fails with the first check
// that does not hold, after closing whatever was opened; a missing library fails with the file
// system's error.
SteamEngineSession openSteamEngine(const SteamEngineAccess& access);
// The same against `pin` (tests).
SteamEngineSession openSteamEngine(const SteamEngineAccess& access, const SteamClientPin& pin);

// Fails with kSteamVersionUnsupported unless `digest` is the built-in pin's digest exactly.
void checkSteamClientDigest(std::string_view digest);
// The same against `pin` (tests).
void checkSteamClientDigest(std::string_view digest, const SteamClientPin& pin);

// Asks the running game, through the open session, to connect to `address` ("[A:1:n:n]", each
// number 1 to 10 digits); fails with kServerAddressInvalid, sending nothing, for anything else.
void sendConnect(SteamEngineSession& session, const std::string& address);

// Releases the user, then the connection, then the library, then the file: only what is held.
// Safe on a partly opened session and on a closed one.
void closeSteamEngine(SteamEngineSession& session) noexcept;

}  // namespace quorvel
