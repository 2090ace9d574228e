#pragma once

#include "platform/clock.hpp"
#include "platform/https.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// The message of a session, connection or request that cannot be opened, for every client of the
// lobby host.
inline constexpr const char* kHostUnreachableMessage = "无法连接大厅，请检查网络";

// What a client says when a step of its exchange fails, each its own user-facing text.
struct HttpsMessages {
    const char* unreachable;     // the session, the connection or the request cannot be opened
    const char* redirectPolicy;  // redirects cannot be turned off
    const char* noResponse;      // sending the request or receiving the response fails
    const char* badStatus;       // the status cannot be read (or, with `requireOk`, is not 200)
    const char* timedOut;        // the deadline has passed before a read
    const char* readFailed;      // a read fails
    const char* tooLarge;        // the body grows beyond `maxBytes`
};

// When the deadline of an exchange starts counting.
enum class DeadlineFrom {
    start,    // before the session is opened: every step counts
    sending,  // just before the request is sent
};

// One client's exchange with the lobby host: the request it sends, its limits and its messages.
struct HttpsExchange {
    const wchar_t* userAgent;
    std::uint32_t stepTimeoutMs;  // name resolution, connect, send and receive, each
    const wchar_t* verb;
    bool refresh;            // ask for an answer no cache served
    const wchar_t* headers;  // CR LF terminated lines
    std::uint64_t deadlineMs;
    DeadlineFrom deadlineFrom;
    std::size_t readChunk;  // bytes asked for per read
    std::size_t maxBytes;   // of the whole body; exactly this many is still accepted
    // A status other than 200 fails with `messages.badStatus` before any of the body is read;
    // otherwise the body is read whatever the status and the caller judges the status.
    bool requireOk;
    HttpsMessages messages;
};

// The status and the whole body of an answer.
struct HttpsAnswer {
    std::uint32_t status = 0;
    std::string body;
};

// Sends `body` (empty: none) to `path` on `host` as `exchange` describes, redirects never
// followed, and reads the whole answer. Each step that fails throws UserError with its message of
// `exchange.messages`; a read that would begin at or after the deadline fails with `timedOut`,
// however steadily the answer trickles in. Everything opened is closed on every path, request
// first, session last.
HttpsAnswer runHttpsExchange(HttpTransport& transport, const TickClock& ticks, const HttpHost& host,
                             const HttpsExchange& exchange, const std::wstring& path, std::string_view body);

}  // namespace quorvel
