#include "update/update_client.hpp"

#include "common/error.hpp"
#include "common/text.hpp"
#include "lobby/lobby_client.hpp"

#include <array>
#include <cstdint>
#include <vector>

namespace quorvel {
namespace {

constexpr const wchar_t* kUserAgent = L"TXQ-Native-Updater/1";
constexpr std::uint32_t kTimeoutMs = 4000;
constexpr const wchar_t* kHeaders = L"Cache-Control: no-cache\r\n";
constexpr std::uint64_t kDeadlineMs = 25'000;
constexpr std::size_t kReadChunk = 16'384;

}  // namespace

std::string fetchUpdateFile(const UpdateAccess& host, const std::wstring& path, std::size_t maxBytes) {
    // Declared in this order so that they close request first, session last, on every path.
    const auto session = host.transport.openSession(kUserAgent, kTimeoutMs);
    check(session != nullptr, kLobbyConnectMessage);
    const auto connection = session->connect(host.host);
    check(connection != nullptr, kLobbyConnectMessage);
    const auto request = connection->openRequest(L"GET", path, true);
    check(request != nullptr, kLobbyConnectMessage);
    check(request->disableRedirects(), "更新 HTTPS 策略失败");

    const std::uint64_t deadline = host.ticks.milliseconds() + kDeadlineMs;
    check(request->send(kHeaders, {}) && request->receiveResponse(), "更新服务暂不可用");

    const std::optional<std::uint32_t> status = request->statusCode();
    check(status.has_value() && *status == 200, "更新服务返回异常");

    std::string body;
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        check(host.ticks.milliseconds() < deadline, "更新下载超时");
        const std::optional<std::size_t> count = request->read(chunk.data(), chunk.size());
        check(count.has_value(), "更新下载中断");
        if (*count == 0) break;
        check(body.size() + *count <= maxBytes, "更新响应过大");
        body.append(chunk.data(), *count);
    }
    return body;
}

std::wstring releaseDownloadPath(const Release& release) {
    return L"/downloads/native/" + toWide(release.sha256) + L".exe";
}

}  // namespace quorvel
