#include "lobby/entry.hpp"
#include "support/fakes.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace quorvel {
namespace {

using nlohmann::json;

// The table of answers that tools/check_lobby_api.py also holds against docs/lobby-api.yaml, so
// that the document and the helper cannot tell operators different things.
const json& entryCases() {
    static const json cases = [] {
        std::ifstream file(QUORVEL_SOURCE_DIR "/tests/lobby/entry_cases.json", std::ios::binary);
        if (!file) throw std::runtime_error("cannot read tests/lobby/entry_cases.json");
        return json::parse(file);
    }();
    return cases;
}

// The well-formed answer with a case's changes: a whole other answer, or members set and removed.
json applyCase(const json& change) {
    if (change.contains("answer")) return change["answer"];
    json answer = entryCases()["wellFormed"];
    const json set = change.value("set", json::object());
    const json remove = change.value("remove", json::array());
    for (const auto& [key, value] : set.items()) answer[key] = value;
    for (const auto& key : remove) answer.erase(key.get<std::string>());
    return answer;
}

class EntryTest : public ::testing::Test {
protected:
    testing::FakeClock clock;

    void SetUp() override { clock.time = entryCases()["now"].get<double>(); }

    json wellFormed() const { return entryCases()["wellFormed"]; }

    std::string failure(const json& answer) const {
        return testing::messageOf([&] { validateEntry(answer, clock); });
    }
};

TEST_F(EntryTest, AcceptsWellFormedAnswersAndReturnsTheTarget) {
    ASSERT_FALSE(entryCases()["accepted"].empty());
    for (const json& c : entryCases()["accepted"]) {
        SCOPED_TRACE(c["what"].get<std::string>());
        EXPECT_EQ(validateEntry(applyCase(c), clock).serverSteamId, c["returns"].get<std::string>());
    }
}

TEST_F(EntryTest, EachRuleFailsWithItsMessage) {
    ASSERT_FALSE(entryCases()["refused"].empty());
    for (const json& c : entryCases()["refused"]) {
        SCOPED_TRACE(c["what"].get<std::string>());
        EXPECT_EQ(failure(applyCase(c)), c["message"].get<std::string>());
    }
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
