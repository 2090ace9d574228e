#pragma once

#include "platform/clock.hpp"
#include "platform/https.hpp"

#include <nlohmann/json.hpp>

#include <string_view>

namespace quorvel {

// Where and through what the lobby is reached, and the clock of each exchange's deadline.
struct LobbyAccess {
    HttpTransport& transport;
    const TickClock& ticks;
    HttpHost host = lobbyHost();
};

// One HTTPS POST of `body` (serialised compactly, keys sorted, UTF-8 unescaped) to
// "/api/entry/" + `endpoint`. Returns the parsed answer when the status is 200. The answer is
// parsed before the status is looked at, so a body that is not JSON fails with the JSON library's
// parse error whatever the status; any other status fails with the answer's string
// error.message, or "大厅请求失败 (HTTP n)". The whole exchange has 30 seconds from its start: a
// read that would begin later fails with "大厅请求未完成，请检查网络", however steadily the
// answer trickles in.
nlohmann::json postLobby(const LobbyAccess& lobby, std::wstring_view endpoint, const nlohmann::json& body);

}  // namespace quorvel
