#include "lobby/lobby_client.hpp"

#include "common/error.hpp"
#include "platform/https_exchange.hpp"

#include <cstdint>
#include <string>

namespace quorvel {
namespace {

constexpr const char* kIncompleteMessage = "大厅请求未完成，请检查网络";

const HttpsExchange kLobbyExchange{
    .userAgent = L"TXQ-Native-Experiment/1",
    .stepTimeoutMs = 8000,
    .verb = L"POST",
    .refresh = false,
    .headers = L"Content-Type: application/json\r\nAccept: application/json\r\n",
    .deadlineMs = 30'000,
    .deadlineFrom = DeadlineFrom::start,
    .readChunk = 8192,
    .maxBytes = 1'048'576,
    .requireOk = false,
    .messages = {.unreachable = kHostUnreachableMessage,
                 .redirectPolicy = "无法设置 HTTPS 策略",
                 .noResponse = kIncompleteMessage,
                 .badStatus = "无效 HTTP 响应",
                 .timedOut = kIncompleteMessage,
                 .readFailed = "读取大厅响应失败",
                 .tooLarge = "大厅响应过大"},
};

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
    // Built before anything is opened: a body the JSON library refuses never reaches the network.
    const std::string payload = body.dump();
    const HttpsAnswer answer = runHttpsExchange(lobby.transport, lobby.ticks, lobby.host, kLobbyExchange,
                                                L"/api/entry/" + std::wstring(endpoint), payload);
    nlohmann::json parsed = nlohmann::json::parse(answer.body);
    if (answer.status != 200) throw UserError(failureMessage(answer.status, parsed));
    return parsed;
}

}  // namespace quorvel
