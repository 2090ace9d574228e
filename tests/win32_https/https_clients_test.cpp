// The WinHTTP clients against the local lobby simulator (HTTPS with a CA trusted only in the test prefix).
#include "lobby/lobby_client.hpp"
#include "lobby/lobby_requests.hpp"
#include "platform/clock.hpp"
#include "platform/https_win32.hpp"
#include "support/lobby_simulator_win32.hpp"
#include "support/message_of.hpp"
#include "update/update_client.hpp"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using nlohmann::json;
using testing::recordedBody;
using testing::recordedHeader;
using Strings = std::vector<std::string>;

const std::string kTicket = "AbCdEfGhIjKlMnOpQrStUvWxYz0123456789-_abcde";

class HttpsClientsTest : public ::testing::Test {
protected:
    testing::SimulatedLobby simulator;
    WinHttpTransport transport;
    SystemTickClock ticks;
    LobbyAccess lobby{transport, ticks, simulator.host()};
    UpdateAccess updates{transport, ticks, simulator.host()};

    // The message postLobby failed with (of the shared error, or of the `Failure` kind).
    template <typename Failure = UserError>
    std::string lobbyFailure() {
        return testing::messageOf<Failure>([&] { postLobby(lobby, L"context", json{{"ticket", kTicket}}); });
    }

    std::string updateFailure(const std::wstring& path, std::size_t maxBytes = kMaxManifestBytes) {
        return testing::messageOf([&] { fetchUpdateFile(updates, path, maxBytes); });
    }
};

TEST_F(HttpsClientsTest, LobbyRequestsGoOutExactlyAndAnswersComeBack) {
    const json entry = requestEntry(lobby, kTicket, L"context");
    EXPECT_EQ(entry.at("serverSteamId"), "[A:1:123:45]");
    ProgressReporter reporter(lobby, kTicket, [](const std::wstring&) {});
    reporter.reportProgress("sent", L"已发送");

    const json requests = simulator.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const json& request : requests) {
        EXPECT_EQ(request.at("method"), "POST");
        EXPECT_EQ(recordedHeader(request, "User-Agent"), Strings{"TXQ-Native-Experiment/1"});
        EXPECT_EQ(recordedHeader(request, "Content-Type"), Strings{"application/json"});
        EXPECT_EQ(recordedHeader(request, "Accept"), Strings{"application/json"});
        EXPECT_EQ(recordedHeader(request, "Content-Length"), Strings{std::to_string(recordedBody(request).size())});
        EXPECT_TRUE(recordedHeader(request, "Cache-Control").empty());
    }
    EXPECT_EQ(requests[0].at("path"), "/api/entry/context");
    EXPECT_EQ(recordedBody(requests[0]), "{\"ticket\":\"" + kTicket + "\"}");
    EXPECT_EQ(requests[1].at("path"), "/api/entry/helper-progress");
    EXPECT_EQ(recordedBody(requests[1]), "{\"phase\":\"sent\",\"ticket\":\"" + kTicket + "\"}");
}

TEST_F(HttpsClientsTest, LobbyRedirectsAndErrorsAreFailures) {
    simulator.script(json::array({
        {{"path", "/api/entry/context"},
         {"status", 302},
         {"headers", {{"Location", "/api/entry/consume"}}},
         {"json", json::object()},
         {"times", 1}},
        {{"path", "/api/entry/context"},
         {"status", 404},
         {"json", {{"error", {{"message", "房间已关闭"}}}}},
         {"times", 1}},
        {{"path", "/api/entry/context"}, {"status", 404}, {"json", {{"error", "房间已关闭"}}}, {"times", 1}},
        {{"path", "/api/entry/context"},
         {"status", 500},
         {"headers", {{"Content-Type", "text/html"}}},
         {"body", "<html>oops</html>"},
         {"times", 1}},
        {{"path", "/api/entry/context"}, {"mode", "close"}, {"times", 1}},
    }));
    EXPECT_EQ(lobbyFailure(), "大厅请求失败 (HTTP 302)");
    EXPECT_EQ(lobbyFailure(), "房间已关闭");
    EXPECT_EQ(lobbyFailure(), "大厅请求失败 (HTTP 404)");
    EXPECT_EQ(lobbyFailure<json::parse_error>().rfind("[json.exception.parse_error.101]", 0), 0u);
    EXPECT_EQ(lobbyFailure(), "大厅请求未完成，请检查网络");  // hung up without an answer

    const json requests = simulator.requests();
    ASSERT_EQ(requests.size(), 5u);  // the redirect was not followed
    for (const json& request : requests) EXPECT_EQ(request.at("path"), "/api/entry/context");
}

TEST_F(HttpsClientsTest, LobbyAnswerLimitHoldsOverTheNetwork) {
    const std::string atLimit = "\"" + std::string(1'048'574, 'a') + "\"";
    simulator.script(json::array({
        {{"path", "/api/entry/context"}, {"body", atLimit}, {"times", 1}},
        {{"path", "/api/entry/context"}, {"body", atLimit + " "}, {"times", 1}},
        {{"path", "/api/entry/context"}, {"mode", "endless"}, {"body", " "}, {"times", 1}},
    }));
    EXPECT_EQ(lobbyFailure(), "(no failure)");
    EXPECT_EQ(lobbyFailure(), "大厅响应过大");
    EXPECT_EQ(lobbyFailure(), "大厅响应过大");
}

TEST_F(HttpsClientsTest, AnUntrustedCertificateEndsTheExchangeBeforeAnythingIsSent) {
    testing::SimulatedLobby impostor(false);
    const LobbyAccess lobbyImpostor{transport, ticks, impostor.host()};
    EXPECT_EQ(testing::messageOf([&] {
                  postLobby(lobbyImpostor, L"context", json{{"ticket", kTicket}});
              }),
              "大厅请求未完成，请检查网络");
    const UpdateAccess updatesImpostor{transport, ticks, impostor.host()};
    EXPECT_EQ(testing::messageOf([&] { fetchUpdateFile(updatesImpostor, kUpdateManifestPath, kMaxManifestBytes); }),
              "更新服务暂不可用");
    EXPECT_TRUE(impostor.requests().empty());
}

// A server that takes the request and never answers fails it once the session's time-out has
// passed. The clients' own time-outs (8 s, 4 s) and their messages for a failed send or receive are
// checked natively; here a short time-out shows that WinHTTP under Wine honours it.
TEST_F(HttpsClientsTest, ASilentServerFailsTheRequestAfterTheSessionTimeOut) {
    simulator.script({{"mode", "silent"}});
    const auto session = transport.openSession(L"quorvel-tests", 300);
    ASSERT_TRUE(session);
    const auto connection = session->connect(simulator.host());
    ASSERT_TRUE(connection);
    const auto request = connection->openRequest(L"GET", kUpdateManifestPath, true);
    ASSERT_TRUE(request);
    const std::uint64_t started = ticks.milliseconds();
    EXPECT_FALSE(request->send(L"", {}) && request->receiveResponse());
    const std::uint64_t elapsed = ticks.milliseconds() - started;
    EXPECT_GE(elapsed, 250u);
    EXPECT_LT(elapsed, 4'000u);
    EXPECT_EQ(simulator.requests().size(), 1u);  // the server got the request and stayed silent
}

TEST_F(HttpsClientsTest, ProgressReportsNeverFailWhateverTheLobbyDoes) {
    simulator.script(json::array({
        {{"path", "/api/entry/helper-progress"}, {"status", 500}, {"body", "<html>down</html>"}, {"times", 1}},
        {{"path", "/api/entry/helper-progress"}, {"bodyHex", "00ff7b"}, {"times", 1}},
        {{"path", "/api/entry/helper-progress"}, {"mode", "close"}, {"times", 1}},
        {{"path", "/api/entry/helper-progress"}, {"mode", "cut"}, {"body", "{\"ok\":true}"}, {"times", 1}},
    }));
    std::vector<std::wstring> shown;
    ProgressReporter reporter(lobby, kTicket, [&](const std::wstring& text) { shown.push_back(text); });
    for (int i = 0; i < 4; ++i) EXPECT_NO_THROW(reporter.reportProgress("checking", L"正在检查"));
    EXPECT_NO_THROW(reportEarlyChecking(lobby, kTicket));
    EXPECT_EQ(shown.size(), 4u);
    EXPECT_EQ(simulator.requests().size(), 5u);

    // Nobody listens on port 1.
    const LobbyAccess unreachable{transport, ticks, HttpHost{L"localhost", 1}};
    ProgressReporter lonely(unreachable, kTicket, [&](const std::wstring& text) { shown.push_back(text); });
    EXPECT_NO_THROW(lonely.reportProgress("failed", L"失败"));
    EXPECT_EQ(shown.back(), L"失败");
}

TEST_F(HttpsClientsTest, UpdateFilesComeFreshWithTheirOwnAgent) {
    const std::string image = "MZ" + std::string(70'000, '\x90') + std::string("\0\x01\xfe\xff", 4);
    const json manifest = simulator.publish(image, 2026092005);

    const std::string manifestBytes = fetchUpdateFile(updates, kUpdateManifestPath, kMaxManifestBytes);
    EXPECT_EQ(json::parse(manifestBytes), manifest);
    const Release release{2026092005, image.size(), manifest.at("sha256").get<std::string>()};
    EXPECT_EQ(fetchUpdateFile(updates, releaseDownloadPath(release), image.size()), image);
    EXPECT_EQ(updateFailure(releaseDownloadPath(release), image.size() - 1), "更新响应过大");

    const json requests = simulator.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].at("path"), "/downloads/native-connector-update.json");
    EXPECT_EQ(requests[1].at("path"), "/downloads/native/" + release.sha256 + ".exe");
    for (const json& request : requests) {
        EXPECT_EQ(request.at("method"), "GET");
        EXPECT_EQ(recordedHeader(request, "User-Agent"), Strings{"TXQ-Native-Updater/1"});
        EXPECT_EQ(recordedHeader(request, "Cache-Control"), Strings{"no-cache"});
        EXPECT_EQ(recordedBody(request), "");
    }
}

// A body cut off mid-way (short of its Content-Length, or inside a chunk) reads under Wine 8 as a
// complete shorter body, not as a failed read, so "更新下载中断" is covered by the native tests.
TEST_F(HttpsClientsTest, UpdateRedirectsErrorsAndHangUpsAreFailures) {
    simulator.script(json::array({
        {{"status", 302}, {"headers", {{"Location", "/downloads/other.json"}}}, {"json", json::object()}, {"times", 1}},
        {{"status", 404}, {"json", {{"error", {{"message", "no"}}}}}, {"times", 1}},
        {{"status", 200}, {"mode", "endless"}, {"times", 1}},
        {{"status", 200}, {"mode", "close"}, {"times", 1}},
    }));
    EXPECT_EQ(updateFailure(kUpdateManifestPath), "更新服务返回异常");
    EXPECT_EQ(updateFailure(kUpdateManifestPath), "更新服务返回异常");
    EXPECT_EQ(updateFailure(kUpdateManifestPath), "更新响应过大");
    EXPECT_EQ(updateFailure(kUpdateManifestPath), "更新服务暂不可用");  // hung up without an answer
    EXPECT_EQ(simulator.requests().size(), 4u);                         // the redirect was not followed
}

}  // namespace
}  // namespace quorvel
