#include "launch/steam_account.hpp"

#include "common/error.hpp"

#include <cstdint>

namespace quorvel {
namespace {

// Individual account, public universe, desktop instance; the account number fills the low 32 bits.
constexpr std::uint64_t kSteamId64Base = 76561197960265728ULL;

}  // namespace

std::string activeSteamId(const SteamRegistry& registry) {
    const std::optional<std::uint32_t> account = registry.activeUser();
    check(account.has_value() && *account != 0, "请先在 Steam 登录游戏账号");
    return std::to_string(kSteamId64Base + *account);
}

void checkSteamAccount(const SteamRegistry& registry, const std::string& steamId) {
    check(activeSteamId(registry) == steamId, "Steam 当前账号与大厅登录账号不同，请切换为同一个账号后重试。");
}

}  // namespace quorvel
