#pragma once

#include "common/http_transport.hpp"

#include <nlohmann/json.hpp>

#include <string_view>

namespace quorvel {

inline constexpr const char* kLobbyConnectMessage = "无法连接大厅，请检查网络";

// Where and through what the lobby is reached.
struct LobbyAccess {
    HttpTransport& transport;
    HttpHost host = lobbyHost();
};

// One HTTPS POST of `body` (serialised compactly, keys sorted, UTF-8 unescaped) to
// "/api/entry/" + `endpoint`. Returns the parsed answer when the status is 200. The answer is
// parsed before the status is looked at, so a body that is not JSON fails with the JSON library's
// parse error whatever the status; any other status fails with the answer's string
// error.message, or "大厅请求失败 (HTTP n)".
nlohmann::json postLobby(const LobbyAccess& lobby, std::wstring_view endpoint, const nlohmann::json& body);

}  // namespace quorvel
