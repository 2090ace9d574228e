#include "lobby/entry.hpp"

#include "common/error.hpp"

#include <cstdint>
#include <regex>

namespace quorvel {
namespace {

constexpr double kMaxLifetimeSeconds = 60.0;
constexpr std::uint64_t kMaxAccount = 0xFFFFFFFFULL;
constexpr std::uint64_t kMaxInstance = 0xFFFFFULL;

bool matches(const nlohmann::json& value, const std::regex& pattern) {
    return std::regex_match(value.get_ref<const std::string&>(), pattern);
}

// At most ten digits, so the value always fits.
std::uint64_t decimal(const std::string& digits) {
    std::uint64_t value = 0;
    for (char c : digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    return value;
}

}  // namespace

std::string validateEntry(const nlohmann::json& answer, const Clock& clock) {
    static const std::regex room("[a-f0-9]{12}");
    static const std::regex steamId("7656119[0-9]{10}");
    static const std::regex name("[A-Za-z0-9_]{1,100}");
    static const std::regex server(R"(\[A:1:([0-9]{1,10}):([0-9]{1,10})\])");

    check(answer.is_object() && answer.contains("expiresAt") && answer["expiresAt"].is_number(), "连接信息不完整");

    const double expiresAt = answer["expiresAt"].get<double>();
    const double now = clock.now();
    check(now < expiresAt && expiresAt <= now + kMaxLifetimeSeconds, "连接信息已过期，请回大厅重新点击");

    for (const char* key : {"roomId", "steamId", "serverSteamId", "addon", "map", "connectionType"}) {
        check(answer.contains(key) && answer[key].is_string(), "连接字段无效");
    }
    check(answer.contains("toolsMode") && answer["toolsMode"].is_boolean(), "客户端模式无效");

    check(matches(answer["roomId"], room) && matches(answer["steamId"], steamId), "房间或玩家标识无效");
    check(matches(answer["addon"], name) && matches(answer["map"], name), "地图参数无效");
    check(answer["connectionType"].get_ref<const std::string&>() == "steam", "此试验版仅支持大厅的 Steam 连接地址");

    const std::string& target = answer["serverSteamId"].get_ref<const std::string&>();
    std::smatch parts;
    check(std::regex_match(target, parts, server), "服务器地址无效");
    const std::uint64_t account = decimal(parts[1].str());
    const std::uint64_t instance = decimal(parts[2].str());
    check(account >= 1 && account <= kMaxAccount && instance >= 1 && instance <= kMaxInstance, "服务器地址超出范围");
    return target;
}

void requireSameEntry(const nlohmann::json& first, const nlohmann::json& second, const Clock& clock) {
    validateEntry(second, clock);
    for (const char* key : {"roomId", "steamId", "connectionType", "serverSteamId", "addon", "map", "toolsMode"}) {
        check(first.at(key) == second.at(key), "房间连接信息已变化，请重新点击启动游戏");
    }
}

}  // namespace quorvel
