#include "platform/https_exchange.hpp"

#include "common/error.hpp"

#include <optional>
#include <vector>

namespace quorvel {

HttpsAnswer runHttpsExchange(HttpTransport& transport, const TickClock& ticks, const HttpHost& host,
                             const HttpsExchange& exchange, const std::wstring& path, std::string_view body) {
    const HttpsMessages& messages = exchange.messages;
    // Each step waits at most stepTimeoutMs for the network, but an answer arriving a byte at a
    // time would never hit that: the deadline bounds the whole exchange.
    std::uint64_t deadline = ticks.milliseconds() + exchange.deadlineMs;
    // Declared in this order so that they close request first, session last, on every path.
    const auto session = transport.openSession(exchange.userAgent, exchange.stepTimeoutMs);
    check(session != nullptr, messages.unreachable);
    const auto connection = session->connect(host);
    check(connection != nullptr, messages.unreachable);
    const auto request = connection->openRequest(exchange.verb, path, exchange.refresh);
    check(request != nullptr, messages.unreachable);
    check(request->disableRedirects(), messages.redirectPolicy);

    if (exchange.deadlineFrom == DeadlineFrom::sending) deadline = ticks.milliseconds() + exchange.deadlineMs;
    check(request->send(exchange.headers, body) && request->receiveResponse(), messages.noResponse);

    const std::optional<std::uint32_t> status = request->statusCode();
    check(status.has_value(), messages.badStatus);
    check(!exchange.requireOk || *status == 200, messages.badStatus);

    HttpsAnswer answer{*status, {}};
    std::vector<char> chunk(exchange.readChunk);
    for (;;) {
        check(ticks.milliseconds() < deadline, messages.timedOut);
        const std::optional<std::size_t> count = request->read(chunk.data(), chunk.size());
        check(count.has_value(), messages.readFailed);
        if (*count == 0) break;
        check(answer.body.size() + *count <= exchange.maxBytes, messages.tooLarge);
        answer.body.append(chunk.data(), *count);
    }
    return answer;
}

}  // namespace quorvel
