#include "lobby/lobby_requests.hpp"
#include "common/error.hpp"
#include "support/fake_http_transport.hpp"
#include "support/message_of.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using nlohmann::json;
using testing::FakeHttpTransport;
using testing::HttpStep;

const std::string kTicket = "AbCdEfGhIjKlMnOpQrStUvWxYz0123456789-_abcde";

class LobbyRequestsTest : public ::testing::Test {
protected:
    FakeHttpTransport transport;
    testing::FakeTickClock ticks;
    LobbyAccess lobby{transport, ticks, HttpHost{L"lobby.example.test", 443}};
};

TEST_F(LobbyRequestsTest, EntryRequestsPostTheTicketAndReturnTheAnswerUnvalidated) {
    ASSERT_EQ(kTicket.size(), 43u);
    for (const wchar_t* endpoint : {L"context", L"consume"}) {
        transport = FakeHttpTransport{};
        transport.body = R"({"roomId":"not checked here"})";
        EXPECT_EQ(requestEntry(lobby, kTicket, endpoint), json::parse(transport.body));
        EXPECT_EQ(transport.path, std::wstring(L"/api/entry/") + endpoint);
        EXPECT_EQ(transport.sentBody, "{\"ticket\":\"" + kTicket + "\"}");
    }
}

TEST_F(LobbyRequestsTest, EntryRequestFailuresReachTheCallerUnchanged) {
    transport.status = 404;
    transport.body = R"({"error":{"message":"连接已过期"}})";
    EXPECT_EQ(testing::messageOf([&] { requestEntry(lobby, kTicket, L"context"); }), "连接已过期");
    transport = FakeHttpTransport{};
    transport.body = "<html>";
    EXPECT_THROW(requestEntry(lobby, kTicket, L"consume"), json::parse_error);
    transport = FakeHttpTransport{};
    transport.failAt = HttpStep::connect;
    EXPECT_THROW(requestEntry(lobby, kTicket, L"consume"), UserError);
}

TEST_F(LobbyRequestsTest, AProgressReportShowsTheTextThenPostsPhaseAndTicket) {
    std::vector<std::wstring> shown;
    std::size_t eventsWhenShown = 99;
    ProgressReporter reporter(lobby, kTicket, [&](const std::wstring& text) {
        shown.push_back(text);
        eventsWhenShown = transport.events.size();
    });
    transport.body = "{}";
    reporter.reportProgress("sent", L"已发送连接请求");

    EXPECT_EQ(shown, std::vector<std::wstring>{L"已发送连接请求"});
    EXPECT_EQ(eventsWhenShown, 0u);  // shown before anything was sent
    EXPECT_EQ(transport.path, L"/api/entry/helper-progress");
    EXPECT_EQ(transport.sentBody, "{\"phase\":\"sent\",\"ticket\":\"" + kTicket + "\"}");
}

TEST_F(LobbyRequestsTest, AProgressReportNeverFailsWhateverTheLobbyDoes) {
    struct Case {
        const char* what;
        std::function<void(FakeHttpTransport&)> script;
    };
    const Case cases[] = {
        {"unreachable", [](FakeHttpTransport& t) { t.failAt = HttpStep::openSession; }},
        {"no connection", [](FakeHttpTransport& t) { t.failAt = HttpStep::connect; }},
        {"no request", [](FakeHttpTransport& t) { t.failAt = HttpStep::openRequest; }},
        {"no policy", [](FakeHttpTransport& t) { t.failAt = HttpStep::disableRedirects; }},
        {"send fails", [](FakeHttpTransport& t) { t.failAt = HttpStep::send; }},
        {"timed out", [](FakeHttpTransport& t) { t.failAt = HttpStep::receiveResponse; }},
        {"no status", [](FakeHttpTransport& t) { t.failAt = HttpStep::statusCode; }},
        {"read fails", [](FakeHttpTransport& t) { t.failAt = HttpStep::read; }},
        {"500 html",
         [](FakeHttpTransport& t) {
             t.status = 500;
             t.body = "<html><h1>500</h1></html>";
         }},
        {"garbage", [](FakeHttpTransport& t) { t.body = std::string("\x00\xff garbage", 10); }},
        {"empty 200", [](FakeHttpTransport& t) { t.body = ""; }},
        {"error message",
         [](FakeHttpTransport& t) {
             t.status = 403;
             t.body = R"({"error":{"message":"no"}})";
         }},
        {"redirect",
         [](FakeHttpTransport& t) {
             t.status = 302;
             t.body = "{}";
         }},
        {"too large", [](FakeHttpTransport& t) { t.body = std::string(1'048'577, ' '); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        transport = FakeHttpTransport{};
        c.script(transport);
        std::vector<std::wstring> shown;
        ProgressReporter reporter(lobby, kTicket, [&](const std::wstring& text) { shown.push_back(text); });
        EXPECT_NO_THROW(reporter.reportProgress("checking", L"正在检查"));
        EXPECT_EQ(shown, std::vector<std::wstring>{L"正在检查"});
        EXPECT_EQ(transport.handlesOpen, 0);

        transport = FakeHttpTransport{};
        c.script(transport);
        EXPECT_NO_THROW(reportEarlyChecking(lobby, kTicket));
        EXPECT_EQ(transport.handlesOpen, 0);
    }

    // A body that cannot be built (ill-formed UTF-8) is ignored the same way.
    transport = FakeHttpTransport{};
    ProgressReporter broken(lobby, "\xc3", [](const std::wstring&) {});
    EXPECT_NO_THROW(broken.reportProgress("failed", L"x"));
    EXPECT_EQ(transport.handlesOpen, 0);
}

TEST_F(LobbyRequestsTest, AFailingCallbackReachesTheCallerAndNothingIsPosted) {
    ProgressReporter reporter(lobby, kTicket, [](const std::wstring&) { throw UserError("window gone"); });
    EXPECT_THROW(reporter.reportProgress("sent", L"x"), UserError);
    EXPECT_TRUE(transport.events.empty());
}

TEST_F(LobbyRequestsTest, TheEarlyReportPostsCheckingWithoutShowingAnything) {
    transport.body = "{}";
    reportEarlyChecking(lobby, kTicket);
    EXPECT_EQ(transport.path, L"/api/entry/helper-progress");
    EXPECT_EQ(transport.sentBody, "{\"phase\":\"checking\",\"ticket\":\"" + kTicket + "\"}");
}

}  // namespace
}  // namespace quorvel
