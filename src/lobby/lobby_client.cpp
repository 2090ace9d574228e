#include "lobby/lobby_client.hpp"

#include "common/error.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace quorvel {
namespace {

constexpr const wchar_t* kUserAgent = L"TXQ-Native-Experiment/1";
constexpr std::uint32_t kTimeoutMs = 8000;
constexpr std::uint64_t kDeadlineMs = 30'000;
constexpr const wchar_t* kHeaders = L"Content-Type: application/json\r\nAccept: application/json\r\n";
constexpr std::size_t kMaxAnswerBytes = 1'048'576;
constexpr std::size_t kReadChunk = 8192;

std::string failureMessage(std::uint32_t status, const nlohmann::json& answer) {
    if (answer.is_object()) {
        const auto error = answer.find("error");
        if (error != answer.end() && error->is_object()) {
            const auto message = error->find("message");
            if (message != error->end() && message->is_string()) return message->get<std::string>();
        }
    }
    return "大厅请求失败 (HTTP " + std::to_string(status) + ")";
}

}  // namespace

nlohmann::json postLobby(const LobbyAccess& lobby, std::wstring_view endpoint, const nlohmann::json& body) {
    // Each step waits at most kTimeoutMs for the network, but an answer arriving a byte at a time
    // would never hit that: the deadline bounds the whole exchange.
    const std::uint64_t deadline = lobby.ticks.milliseconds() + kDeadlineMs;
    // Declared in this order so that they close request first, session last, on every path.
    const auto session = lobby.transport.openSession(kUserAgent, kTimeoutMs);
    check(session != nullptr, kLobbyConnectMessage);
    const auto connection = session->connect(lobby.host);
    check(connection != nullptr, kLobbyConnectMessage);
    const auto request = connection->openRequest(L"POST", L"/api/entry/" + std::wstring(endpoint), false);
    check(request != nullptr, kLobbyConnectMessage);
    check(request->disableRedirects(), "无法设置 HTTPS 策略");

    const std::string payload = body.dump();
    check(request->send(kHeaders, payload) && request->receiveResponse(), kLobbyIncompleteMessage);

    const std::optional<std::uint32_t> status = request->statusCode();
    check(status.has_value(), "无效 HTTP 响应");

    std::string answerBytes;
    std::array<char, kReadChunk> chunk;
    for (;;) {
        check(lobby.ticks.milliseconds() < deadline, kLobbyIncompleteMessage);
        const std::optional<std::size_t> count = request->read(chunk.data(), chunk.size());
        check(count.has_value(), "读取大厅响应失败");
        if (*count == 0) break;
        check(answerBytes.size() + *count <= kMaxAnswerBytes, "大厅响应过大");
        answerBytes.append(chunk.data(), *count);
    }

    nlohmann::json answer = nlohmann::json::parse(answerBytes);
    if (*status != 200) throw UserError(failureMessage(*status, answer));
    return answer;
}

}  // namespace quorvel
