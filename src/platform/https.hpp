#pragma once
// HttpTransport: WinHttpTransport (https_win32.cpp), fake FakeHttpTransport (support/fake_http_transport.hpp).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// An HTTPS host and port. The product talks to one fixed host (lobbyHost()); tests point the
// clients at a local stand-in.
struct HttpHost {
    std::wstring name;
    std::uint16_t port = 443;
};

// The lobby host and port built into the program; the update host is the same.
HttpHost lobbyHost();

// One HTTPS exchange, step by step. Each step is a point where the clients give a failure of its
// own, so each reports failure by its result instead of throwing. Objects own their platform
// handles and release them when destroyed; runHttpsExchange (https_exchange.hpp) destroys them
// request first, session last.
class HttpRequest {
public:
    virtual ~HttpRequest() = default;
    // Redirect answers are handed back as they are, never followed.
    virtual bool disableRedirects() = 0;
    // `headers` are CR LF terminated lines; `body` goes out in one piece (empty: no body).
    virtual bool send(const std::wstring& headers, std::string_view body) = 0;
    virtual bool receiveResponse() = 0;
    virtual std::optional<std::uint32_t> statusCode() = 0;
    // Reads up to `capacity` bytes of the body into `buffer`: the count read (0 at its end), or
    // nothing when the read fails.
    virtual std::optional<std::size_t> read(char* buffer, std::size_t capacity) = 0;
};

class HttpConnection {
public:
    virtual ~HttpConnection() = default;
    // A TLS request for `verb` on `path`; `refresh` asks for an answer that no cache served.
    // Null on failure.
    virtual std::unique_ptr<HttpRequest> openRequest(const std::wstring& verb, const std::wstring& path,
                                                     bool refresh) = 0;
};

class HttpSession {
public:
    virtual ~HttpSession() = default;
    // Null on failure.
    virtual std::unique_ptr<HttpConnection> connect(const HttpHost& host) = 0;
};

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    // A session without proxy whose name resolution, connect, send and receive each time out
    // after `timeoutMs`. Null on failure.
    virtual std::unique_ptr<HttpSession> openSession(const std::wstring& userAgent, std::uint32_t timeoutMs) = 0;
};

}  // namespace quorvel
