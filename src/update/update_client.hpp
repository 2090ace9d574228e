#pragma once

#include "platform/clock.hpp"
#include "platform/https.hpp"
#include "update/release.hpp"

#include <cstddef>
#include <string>

namespace quorvel {

inline constexpr const wchar_t* kUpdateManifestPath = L"/downloads/native-connector-update.json";
inline constexpr std::size_t kMaxManifestBytes = 16'384;

// Where and through what the update host is reached, and the clock of the download deadline.
struct UpdateAccess {
    HttpTransport& transport;
    const TickClock& ticks;
    HttpHost host = lobbyHost();
};

// HTTPS GET of `path` on the update host: the body of a 200 answer, at most `maxBytes` long,
// read within 25 seconds of sending the request. Anything else fails with its message.
std::string fetchUpdateFile(const UpdateAccess& host, const std::wstring& path, std::size_t maxBytes);

// "/downloads/native/" + sha256 + ".exe".
std::wstring releaseDownloadPath(const Release& release);

}  // namespace quorvel
