#include "update/update_client.hpp"

#include "common/text.hpp"
#include "platform/https_exchange.hpp"

namespace quorvel {

std::string fetchUpdateFile(const UpdateAccess& host, const std::wstring& path, std::size_t maxBytes) {
    const HttpsExchange exchange{
        .userAgent = L"TXQ-Native-Updater/1",
        .stepTimeoutMs = 4000,
        .verb = L"GET",
        .refresh = true,
        .headers = L"Cache-Control: no-cache\r\n",
        .deadlineMs = 25'000,
        .deadlineFrom = DeadlineFrom::sending,
        .readChunk = 16'384,
        .maxBytes = maxBytes,
        .requireOk = true,
        .messages = {.unreachable = kHostUnreachableMessage,
                     .redirectPolicy = "更新 HTTPS 策略失败",
                     .noResponse = "更新服务暂不可用",
                     .badStatus = "更新服务返回异常",
                     .timedOut = "更新下载超时",
                     .readFailed = "更新下载中断",
                     .tooLarge = "更新响应过大"},
    };
    return runHttpsExchange(host.transport, host.ticks, host.host, exchange, path, {}).body;
}

std::wstring releaseDownloadPath(const Release& release) {
    return L"/downloads/native/" + toWide(release.sha256) + L".exe";
}

}  // namespace quorvel
