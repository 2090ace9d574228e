#include "lobby/lobby_client.hpp"
#include "support/fake_http_transport.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using nlohmann::json;
using testing::FakeHttpTransport;
using testing::FakeTickClock;
using testing::HttpStep;

const std::vector<std::string> kOpenedAndClosedInOrder = {"open session",  "open connection",  "open request",
                                                          "close request", "close connection", "close session"};

std::string parseErrorOf(const std::string& text) {
    try {
        const json parsed = json::parse(text);
        return "(parsed) " + parsed.dump();
    } catch (const json::parse_error& e) {
        return e.what();
    }
}

class LobbyClientTest : public ::testing::Test {
protected:
    FakeHttpTransport transport;
    FakeTickClock ticks;
    LobbyAccess lobby{transport, ticks, HttpHost{L"lobby.example.test", 8443}};

    // The message postLobby failed with (of the shared error, or of the `Failure` kind).
    template <typename Failure = UserError>
    std::string failure(const json& body = json::object()) {
        return testing::messageOf<Failure>([&] { postLobby(lobby, L"context", body); });
    }
};

TEST_F(LobbyClientTest, PostsOneCompactJsonBodyAndReturnsTheAnswer) {
    transport.body = R"({"roomId":"abc","nested":{"x":[1,2]}})";
    transport.deliveryLimit = 7;  // the network hands the body over in small pieces

    json body;
    body["ticket"] = "T";
    body["phase"] = "sent";
    body["note"] = "房间 ✓";
    const json answer = postLobby(lobby, L"helper-progress", body);

    EXPECT_EQ(answer, json::parse(transport.body));
    EXPECT_EQ(transport.userAgent, L"TXQ-Native-Experiment/1");
    EXPECT_EQ(transport.timeoutMs, 8000u);
    ASSERT_TRUE(transport.host.has_value());
    EXPECT_EQ(transport.host->name, L"lobby.example.test");
    EXPECT_EQ(transport.host->port, 8443);
    EXPECT_EQ(transport.verb, L"POST");
    EXPECT_EQ(transport.path, L"/api/entry/helper-progress");
    EXPECT_EQ(transport.refresh, false);
    EXPECT_TRUE(transport.redirectsDisabled);
    EXPECT_EQ(transport.headers, L"Content-Type: application/json\r\nAccept: application/json\r\n");
    EXPECT_EQ(transport.sentBody, "{\"note\":\"房间 ✓\",\"phase\":\"sent\",\"ticket\":\"T\"}");
    for (std::size_t capacity : transport.readCapacities) EXPECT_EQ(capacity, 8192u);
    EXPECT_EQ(transport.events, kOpenedAndClosedInOrder);
}

TEST_F(LobbyClientTest, EachFailingStepHasItsMessageAndClosesEverything) {
    struct Case {
        HttpStep step;
        const char* message;
        int handles;  // how many were opened before the failure
    };
    const Case cases[] = {
        {HttpStep::openSession, "无法连接大厅，请检查网络", 0},
        {HttpStep::connect, "无法连接大厅，请检查网络", 1},
        {HttpStep::openRequest, "无法连接大厅，请检查网络", 2},
        {HttpStep::disableRedirects, "无法设置 HTTPS 策略", 3},
        {HttpStep::send, "大厅请求未完成，请检查网络", 3},
        {HttpStep::receiveResponse, "大厅请求未完成，请检查网络", 3},
        {HttpStep::statusCode, "无效 HTTP 响应", 3},
        {HttpStep::read, "读取大厅响应失败", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        transport = FakeHttpTransport{};
        transport.failAt = c.step;
        transport.body = "{}";
        EXPECT_EQ(failure(), c.message);
        EXPECT_EQ(transport.handlesOpen, 0);
        ASSERT_EQ(transport.events.size(), 2u * c.handles);
        const std::vector<std::string> closes(transport.events.begin() + c.handles, transport.events.end());
        const std::vector<std::string> expected(kOpenedAndClosedInOrder.end() - c.handles,
                                                kOpenedAndClosedInOrder.end());
        EXPECT_EQ(closes, expected);
    }

    // A read that fails after some of the body arrived.
    transport = FakeHttpTransport{};
    transport.body = std::string(20'000, ' ') + "{}";
    transport.failAt = HttpStep::read;
    transport.failingRead = 2;
    EXPECT_EQ(failure(), "读取大厅响应失败");
    EXPECT_EQ(transport.readCapacities.size(), 3u);
    EXPECT_EQ(transport.handlesOpen, 0);
}

TEST_F(LobbyClientTest, AnswerSizeLimitHoldsAtTheByte) {
    // A JSON string of exactly 1,048,576 bytes, then the same with one more character.
    const std::string atLimit = "\"" + std::string(1'048'574, 'a') + "\"";
    const std::string overLimit = "\"" + std::string(1'048'575, 'a') + "\"";
    for (std::size_t delivery : {std::size_t{8192}, std::size_t{1000}, std::size_t{1}}) {
        SCOPED_TRACE(delivery);
        transport = FakeHttpTransport{};
        transport.deliveryLimit = delivery;
        transport.body = atLimit;
        EXPECT_EQ(failure(), "(no failure)");

        transport = FakeHttpTransport{};
        transport.deliveryLimit = delivery;
        transport.body = overLimit;
        EXPECT_EQ(failure(), "大厅响应过大");
        EXPECT_EQ(transport.handlesOpen, 0);
    }
    // Also when over the limit with an error status: the size is checked while reading.
    transport = FakeHttpTransport{};
    transport.status = 500;
    transport.body = overLimit;
    EXPECT_EQ(failure(), "大厅响应过大");
}

TEST_F(LobbyClientTest, TheExchangeMustEndWithinThirtySecondsOfItsStart) {
    // A lobby that hands the answer over a byte a second, each read well within the network
    // time-out; the deadline is checked before every read.
    struct Case {
        std::size_t bodyBytes;
        const char* outcome;
        std::size_t reads;
    };
    const Case cases[] = {
        {29, "(no failure)", 30},                // the closing empty read starts at 29 s
        {30, "大厅请求未完成，请检查网络", 30},  // the 31st read would start at 30 s
        {1'048'576, "大厅请求未完成，请检查网络", 30},  // within the size limit, but days of trickling
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bodyBytes);
        transport = FakeHttpTransport{};
        transport.body = std::string(c.bodyBytes - 2, ' ') + "{}";
        transport.deliveryLimit = 1;
        transport.onStep = [&](HttpStep step) {
            if (step == HttpStep::read) ticks.now += 1000;
        };
        EXPECT_EQ(failure(), c.outcome);
        EXPECT_EQ(transport.readCapacities.size(), c.reads);
        EXPECT_EQ(transport.events, kOpenedAndClosedInOrder);
    }

    // The time runs from the exchange's start: time taken by any step before the answer counts.
    for (const HttpStep slowStep : {HttpStep::openSession, HttpStep::send, HttpStep::receiveResponse}) {
        for (const std::uint64_t wait : {29'999u, 30'000u}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(slowStep)) + " " + std::to_string(wait));
            transport = FakeHttpTransport{};
            transport.body = "{}";
            transport.onStep = [&, slowStep](HttpStep step) {
                if (step == slowStep) ticks.now += wait;
            };
            EXPECT_EQ(failure(), wait < 30'000 ? "(no failure)" : "大厅请求未完成，请检查网络");
            EXPECT_EQ(transport.readCapacities.size(), wait < 30'000 ? 2u : 0u);
            EXPECT_EQ(transport.handlesOpen, 0);
        }
    }
}

TEST_F(LobbyClientTest, TheBodyIsParsedStrictlyBeforeTheStatusCounts) {
    struct Case {
        std::uint32_t status;
        std::string body;
    };
    const Case notJson[] = {
        {200, ""},
        {500, "<html><body>Internal Server Error</body></html>"},
        {404, ""},
        {200, "{} {}"},
        {200, "/* note */ {}"},
        {302, "<a href=\"/elsewhere\">moved</a>"},
        {200, "{\"a\":1"},
    };
    for (const Case& c : notJson) {
        SCOPED_TRACE(c.body);
        transport = FakeHttpTransport{};
        transport.status = c.status;
        transport.body = c.body;
        EXPECT_EQ(failure<json::parse_error>(), parseErrorOf(c.body));
        EXPECT_EQ(transport.handlesOpen, 0);
    }

    transport = FakeHttpTransport{};
    transport.body = " \r\n\t{\"ok\":true}\n ";  // surrounding white space is fine
    EXPECT_EQ(failure(), "(no failure)");
}

// JSON whose number no double can hold is refused by the library with its range error, whatever
// the status, and the exchange is closed as on any failure.
TEST_F(LobbyClientTest, ANumberBeyondTheLibrarysRangeFailsWithItsRangeError) {
    for (const std::uint32_t status : {200u, 500u}) {
        SCOPED_TRACE(status);
        transport = FakeHttpTransport{};
        transport.status = status;
        transport.body = R"({"error":{"message":"x"},"expiresAt":1e999})";
        EXPECT_EQ(failure<json::out_of_range>(), "[json.exception.out_of_range.406] number overflow parsing '1e999'");
        EXPECT_EQ(transport.handlesOpen, 0);
    }
}

TEST_F(LobbyClientTest, AnyStatusButTwoHundredFailsWithTheLobbysMessageOrTheStatus) {
    struct Case {
        std::uint32_t status;
        const char* body;
        const char* message;
    };
    const Case cases[] = {
        {404, R"({"error":{"message":"房间已关闭"}})", "房间已关闭"},
        {201, R"({"error":{"message":"created?","code":7}})", "created?"},
        {302, R"({"error":{"message":"moved"}})", "moved"},
        {404, R"({"error":"房间已关闭"})", "大厅请求失败 (HTTP 404)"},
        {404, R"({"message":"房间已关闭"})", "大厅请求失败 (HTTP 404)"},
        {404, R"({"error":{"message":42}})", "大厅请求失败 (HTTP 404)"},
        {404, R"({"error":{"text":"x"}})", "大厅请求失败 (HTTP 404)"},
        {404, R"([{"error":{"message":"x"}}])", "大厅请求失败 (HTTP 404)"},
        {201, "{}", "大厅请求失败 (HTTP 201)"},
        {302, "{}", "大厅请求失败 (HTTP 302)"},
        {500, "null", "大厅请求失败 (HTTP 500)"},
        {0, "{}", "大厅请求失败 (HTTP 0)"},
        {4294967295u, "{}", "大厅请求失败 (HTTP 4294967295)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        transport = FakeHttpTransport{};
        transport.status = c.status;
        transport.body = c.body;
        EXPECT_EQ(failure(), c.message);
        EXPECT_EQ(transport.handlesOpen, 0);
    }

    // error.message in a success answer is just data.
    transport = FakeHttpTransport{};
    transport.body = R"({"error":{"message":"not an error"}})";
    EXPECT_EQ(failure(), "(no failure)");
}

TEST_F(LobbyClientTest, ABodyThatCannotBeSerialisedFailsAndClosesEverything) {
    // Ill-formed UTF-8 is refused by the JSON library rather than sent altered.
    EXPECT_EQ(failure<json::type_error>(json{{"ticket", "\xff"}}).rfind("[json.exception.type_error.316]", 0), 0u);
    EXPECT_FALSE(transport.sentBody.has_value());
    EXPECT_EQ(transport.handlesOpen, 0);
    EXPECT_TRUE(transport.events.empty());  // refused before anything was opened
}

}  // namespace
}  // namespace quorvel
