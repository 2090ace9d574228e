#pragma once

#include "platform/https.hpp"

namespace quorvel {

// HTTPS through WinHTTP in synchronous mode.
class WinHttpTransport final : public HttpTransport {
public:
    std::unique_ptr<HttpSession> openSession(const std::wstring& userAgent, std::uint32_t timeoutMs) override;
};

}  // namespace quorvel
