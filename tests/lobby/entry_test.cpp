#include "lobby/entry.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace quorvel {
namespace {

using nlohmann::json;

class EntryTest : public ::testing::Test {
protected:
    testing::FakeClock clock;

    json wellFormed() const {
        return json{{"expiresAt", clock.time + 30},    {"roomId", "abcdef123456"}, {"steamId", "76561198000000001"},
                    {"serverSteamId", "[A:1:123:45]"}, {"addon", "3123456789"},    {"map", "brellowick"},
                    {"connectionType", "steam"},       {"toolsMode", false},       {"extra", {1, 2, 3}}};
    }

    std::string failure(const json& answer) const {
        return testing::messageOf([&] { validateEntry(answer, clock); });
    }
};

TEST_F(EntryTest, AcceptsAWellFormedAnswerAndReturnsTheTarget) {
    EXPECT_EQ(validateEntry(wellFormed(), clock).serverSteamId, "[A:1:123:45]");

    json edges = wellFormed();
    edges["expiresAt"] = clock.time + 60;  // the far bound is inclusive
    edges["serverSteamId"] = "[A:1:4294967295:1048575]";
    edges["addon"] = std::string(100, 'z');
    edges["map"] = "A_b9";
    edges["toolsMode"] = true;
    EXPECT_EQ(validateEntry(edges, clock).serverSteamId, "[A:1:4294967295:1048575]");

    json padded = wellFormed();
    padded["serverSteamId"] = "[A:1:0000000001:0000000001]";  // leading zeros are digits like any other
    padded["expiresAt"] = static_cast<std::uint64_t>(clock.time) + 1;
    EXPECT_EQ(validateEntry(padded, clock).serverSteamId, "[A:1:0000000001:0000000001]");
}

TEST_F(EntryTest, ReadsTheMembersTheJoinUsesAndKeepsTheAnswer) {
    json answer = wellFormed();
    answer["addon"] = "dotatxq";
    answer["toolsMode"] = true;
    const Entry entry = validateEntry(answer, clock);
    EXPECT_EQ(entry.serverSteamId, "[A:1:123:45]");
    EXPECT_EQ(entry.steamId, "76561198000000001");
    EXPECT_EQ(entry.addon, "dotatxq");
    EXPECT_EQ(entry.map, "brellowick");
    EXPECT_TRUE(entry.toolsMode);
    EXPECT_EQ(entry.json, answer);
    EXPECT_FALSE(validateEntry(wellFormed(), clock).toolsMode);
}

TEST_F(EntryTest, EachRuleFailsWithItsMessage) {
    struct Case {
        const char* what;
        std::function<void(json&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"array", [](json& a) { a = json::array(); }, "连接信息不完整"},
        {"string", [](json& a) { a = "entry"; }, "连接信息不完整"},
        {"no expiresAt", [](json& a) { a.erase("expiresAt"); }, "连接信息不完整"},
        {"expiresAt text", [](json& a) { a["expiresAt"] = "1800000030"; }, "连接信息不完整"},
        {"expiresAt null", [](json& a) { a["expiresAt"] = nullptr; }, "连接信息不完整"},
        {"expiresAt bool", [](json& a) { a["expiresAt"] = true; }, "连接信息不完整"},
        {"expired", [this](json& a) { a["expiresAt"] = clock.time - 1; }, "连接信息已过期，请回大厅重新点击"},
        {"now exactly", [this](json& a) { a["expiresAt"] = clock.time; }, "连接信息已过期，请回大厅重新点击"},
        {"too far", [this](json& a) { a["expiresAt"] = clock.time + 61; }, "连接信息已过期，请回大厅重新点击"},
        {"just too far", [this](json& a) { a["expiresAt"] = clock.time + 60.001; }, "连接信息已过期，请回大厅重新点击"},
        {"negative", [](json& a) { a["expiresAt"] = -5; }, "连接信息已过期，请回大厅重新点击"},
        {"roomId null", [](json& a) { a["roomId"] = nullptr; }, "连接字段无效"},
        {"steamId null", [](json& a) { a["steamId"] = nullptr; }, "连接字段无效"},
        {"steamId number", [](json& a) { a["steamId"] = 76561198000000001ULL; }, "连接字段无效"},
        {"serverSteamId missing", [](json& a) { a.erase("serverSteamId"); }, "连接字段无效"},
        {"addon null", [](json& a) { a["addon"] = nullptr; }, "连接字段无效"},
        {"map null", [](json& a) { a["map"] = nullptr; }, "连接字段无效"},
        {"connectionType missing", [](json& a) { a.erase("connectionType"); }, "连接字段无效"},
        {"toolsMode null", [](json& a) { a["toolsMode"] = nullptr; }, "客户端模式无效"},
        {"toolsMode missing", [](json& a) { a.erase("toolsMode"); }, "客户端模式无效"},
        {"toolsMode string", [](json& a) { a["toolsMode"] = "false"; }, "客户端模式无效"},
        {"toolsMode number", [](json& a) { a["toolsMode"] = 0; }, "客户端模式无效"},
        {"roomId upper", [](json& a) { a["roomId"] = "ABCDEF123456"; }, "房间或玩家标识无效"},
        {"roomId 11", [](json& a) { a["roomId"] = "abcdef12345"; }, "房间或玩家标识无效"},
        {"roomId 13", [](json& a) { a["roomId"] = "abcdef1234567"; }, "房间或玩家标识无效"},
        {"steamId prefix", [](json& a) { a["steamId"] = "76561208000000001"; }, "房间或玩家标识无效"},
        {"steamId 18", [](json& a) { a["steamId"] = "765611980000000011"; }, "房间或玩家标识无效"},
        {"steamId space", [](json& a) { a["steamId"] = "76561198000000001 "; }, "房间或玩家标识无效"},
        {"addon 101", [](json& a) { a["addon"] = std::string(101, 'a'); }, "地图参数无效"},
        {"addon empty", [](json& a) { a["addon"] = ""; }, "地图参数无效"},
        {"addon dash", [](json& a) { a["addon"] = "dota-txq"; }, "地图参数无效"},
        {"map dot", [](json& a) { a["map"] = "brellowick.vpk"; }, "地图参数无效"},
        {"map space", [](json& a) { a["map"] = "brello wick"; }, "地图参数无效"},
        {"map 101", [](json& a) { a["map"] = std::string(101, 'm'); }, "地图参数无效"},
        {"Steam", [](json& a) { a["connectionType"] = "Steam"; }, "此试验版仅支持大厅的 Steam 连接地址"},
        {"direct", [](json& a) { a["connectionType"] = "direct"; }, "此试验版仅支持大厅的 Steam 连接地址"},
        {"trailing", [](json& a) { a["serverSteamId"] = "[A:1:1:2];quit"; }, "服务器地址无效"},
        {"G universe", [](json& a) { a["serverSteamId"] = "[G:1:123:45]"; }, "服务器地址无效"},
        {"11 digits", [](json& a) { a["serverSteamId"] = "[A:1:12345678901:1]"; }, "服务器地址无效"},
        {"no instance", [](json& a) { a["serverSteamId"] = "[A:1:123]"; }, "服务器地址无效"},
        {"account 0", [](json& a) { a["serverSteamId"] = "[A:1:0:1]"; }, "服务器地址超出范围"},
        {"account 2^32", [](json& a) { a["serverSteamId"] = "[A:1:4294967296:1]"; }, "服务器地址超出范围"},
        {"account 10 nines", [](json& a) { a["serverSteamId"] = "[A:1:9999999999:1]"; }, "服务器地址超出范围"},
        {"instance 0", [](json& a) { a["serverSteamId"] = "[A:1:1:0]"; }, "服务器地址超出范围"},
        {"instance 2^20", [](json& a) { a["serverSteamId"] = "[A:1:1:1048576]"; }, "服务器地址超出范围"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        json answer = wellFormed();
        c.change(answer);
        EXPECT_EQ(failure(answer), c.message);
    }
}

TEST_F(EntryTest, EarlierRulesDecideWhenSeveralThingsAreWrong) {
    json answer = wellFormed();
    answer["roomId"] = "BAD";
    answer["map"] = "bad map";
    answer["toolsMode"] = nullptr;
    EXPECT_EQ(failure(answer), "客户端模式无效");
    answer["toolsMode"] = false;
    EXPECT_EQ(failure(answer), "房间或玩家标识无效");
    answer["roomId"] = "abcdef123456";
    answer["connectionType"] = "Steam";
    EXPECT_EQ(failure(answer), "地图参数无效");
    answer["expiresAt"] = clock.time - 1;
    EXPECT_EQ(failure(answer), "连接信息已过期，请回大厅重新点击");
}

TEST_F(EntryTest, SameEntryIgnoresOnlyExpiryAndExtraMembers) {
    const Entry first = validateEntry(wellFormed(), clock);
    json later = wellFormed();
    later["expiresAt"] = clock.time + 45.5;
    later["extra"] = "changed";
    later["another"] = 7;
    EXPECT_NO_THROW(requireSameEntry(first, later, clock));

    struct Case {
        const char* key;
        json value;
    };
    const Case changes[] = {
        {"roomId", "abcdef654321"},
        {"steamId", "76561198000000002"},
        {"serverSteamId", "[A:1:222:45]"},
        {"addon", "3123456780"},
        {"map", "other_map"},
        {"toolsMode", true},
    };
    for (const Case& c : changes) {
        SCOPED_TRACE(c.key);
        json second = wellFormed();
        second[c.key] = c.value;
        EXPECT_EQ(testing::messageOf([&] { requireSameEntry(first, second, clock); }),
                  "房间连接信息已变化，请重新点击启动游戏");
    }
}

TEST_F(EntryTest, SameEntryValidatesTheSecondAnswerFirst) {
    const Entry first = validateEntry(wellFormed(), clock);
    json expired = wellFormed();
    expired["expiresAt"] = clock.time - 0.5;
    expired["serverSteamId"] = "[A:1:222:45]";
    EXPECT_EQ(testing::messageOf([&] { requireSameEntry(first, expired, clock); }), "连接信息已过期，请回大厅重新点击");
}

}  // namespace
}  // namespace quorvel
