#include "lobby/entry.hpp"

#include "common/error.hpp"

#include <cstdint>
#include <regex>

namespace quorvel {
namespace {

// The members of the lobby's answer.
constexpr const char* kExpiresAt = "expiresAt";
constexpr const char* kRoomId = "roomId";
constexpr const char* kSteamId = "steamId";
constexpr const char* kServerSteamId = "serverSteamId";
constexpr const char* kAddon = "addon";
constexpr const char* kMap = "map";
constexpr const char* kConnectionType = "connectionType";
constexpr const char* kToolsMode = "toolsMode";

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

Entry validateEntry(const nlohmann::json& answer, const Clock& clock) {
    static const std::regex room("[a-f0-9]{12}");
    static const std::regex steamId("7656119[0-9]{10}");
    static const std::regex name("[A-Za-z0-9_]{1,100}");
    static const std::regex server(R"(\[A:1:([0-9]{1,10}):([0-9]{1,10})\])");

    check(answer.is_object() && answer.contains(kExpiresAt) && answer[kExpiresAt].is_number(), "连接信息不完整");

    const double expiresAt = answer[kExpiresAt].get<double>();
    const double now = clock.now();
    check(now < expiresAt && expiresAt <= now + kMaxLifetimeSeconds, "连接信息已过期，请回大厅重新点击");

    for (const char* key : {kRoomId, kSteamId, kServerSteamId, kAddon, kMap, kConnectionType}) {
        check(answer.contains(key) && answer[key].is_string(), "连接字段无效");
    }
    check(answer.contains(kToolsMode) && answer[kToolsMode].is_boolean(), "客户端模式无效");

    check(matches(answer[kRoomId], room) && matches(answer[kSteamId], steamId), "房间或玩家标识无效");
    check(matches(answer[kAddon], name) && matches(answer[kMap], name), "地图参数无效");
    check(answer[kConnectionType].get_ref<const std::string&>() == "steam", "此试验版仅支持大厅的 Steam 连接地址");

    const std::string& target = answer[kServerSteamId].get_ref<const std::string&>();
    std::smatch parts;
    check(std::regex_match(target, parts, server), "服务器地址无效");
    const std::uint64_t account = decimal(parts[1].str());
    const std::uint64_t instance = decimal(parts[2].str());
    check(account >= 1 && account <= kMaxAccount && instance >= 1 && instance <= kMaxInstance, "服务器地址超出范围");

    return Entry{.serverSteamId = target,
                 .steamId = answer[kSteamId].get<std::string>(),
                 .addon = answer[kAddon].get<std::string>(),
                 .map = answer[kMap].get<std::string>(),
                 .toolsMode = answer[kToolsMode].get<bool>(),
                 .json = answer};
}

Entry requireSameEntry(const Entry& first, const nlohmann::json& second, const Clock& clock) {
    Entry entry = validateEntry(second, clock);
    for (const char* key : {kRoomId, kSteamId, kConnectionType, kServerSteamId, kAddon, kMap, kToolsMode}) {
        check(first.json.at(key) == entry.json.at(key), "房间连接信息已变化，请重新点击启动游戏");
    }
    return entry;
}

}  // namespace quorvel
