#pragma once

#include "platform/https.hpp"
#include "support/fake_clocks.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

// The steps of one exchange at which the transport can fail.
enum class HttpStep { openSession, connect, openRequest, disableRedirects, send, receiveResponse, statusCode, read };

// A scripted transport: answers each request by its path from `answers`, or else with `status`
// and `body`; fails at `failAt` if set; and records what the client asked for and every handle
// it opened and closed.
struct FakeHttpTransport final : HttpTransport {
    struct Answer {
        std::uint32_t status = 200;
        std::string body;
    };
    struct Request {
        std::wstring verb;
        std::wstring path;
        std::string body;
    };

    // Script.
    // The answers to the requests for a path, used in order with the last one repeating; each
    // request takes its answer as it is sent.
    std::map<std::wstring, std::vector<Answer>> answers;
    std::optional<HttpStep> failAt;
    std::size_t failingRead = 0;  // which read fails (0 = the first) when failAt is read
    std::uint32_t status = 200;
    std::string body;
    std::size_t deliveryLimit = SIZE_MAX;  // at most this many bytes per read, as a network may hand them
    std::function<void(HttpStep)> onStep;  // runs as each step begins (to move a fake clock on)

    // Record.
    std::wstring userAgent;
    std::optional<std::uint32_t> timeoutMs;
    std::optional<HttpHost> host;
    std::wstring verb;
    std::wstring path;
    std::optional<bool> refresh;
    bool redirectsDisabled = false;
    std::wstring headers;
    std::optional<std::string> sentBody;
    std::vector<Request> requests;  // every request sent, in order
    std::vector<std::size_t> readCapacities;
    std::vector<std::string> events;  // "open session", "close request", ... in order
    int handlesOpen = 0;

    std::unique_ptr<HttpSession> openSession(const std::wstring& agent, std::uint32_t timeout) override;

    // Runs the hook for `step` and tells whether the step is scripted to fail.
    bool fails(HttpStep step) {
        if (onStep) onStep(step);
        return failAt == step;
    }
    // The answer the next request to `path` gets.
    Answer next(const std::wstring& path) const;
    void opened(const char* what);
    void closed(const char* what);
};

}  // namespace quorvel::testing
