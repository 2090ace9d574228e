#include "platform/https_win32.hpp"

#include "common/scoped_handle_win32.hpp"
#include "platform/modules_win32.hpp"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

// The DLLs that WinHTTP loads for a TLS exchange.
constexpr const wchar_t* kTlsLibraries[] = {L"secur32.dll", L"crypt32.dll"};

class WinHttpRequest final : public HttpRequest {
public:
    explicit WinHttpRequest(ScopedInternetHandle handle) : handle_(std::move(handle)) {}

    bool disableRedirects() override {
        DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        return WinHttpSetOption(handle_.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof(policy));
    }

    bool send(const std::wstring& headers, std::string_view body) override {
        const DWORD length = static_cast<DWORD>(body.size());
        void* data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
        return WinHttpSendRequest(handle_.get(), headers.c_str(), static_cast<DWORD>(-1L), data, length, length, 0);
    }

    bool receiveResponse() override { return WinHttpReceiveResponse(handle_.get(), nullptr); }

    std::optional<std::uint32_t> statusCode() override {
        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!WinHttpQueryHeaders(handle_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            return std::nullopt;
        }
        return status;
    }

    // Waits for some of the body (up to the receive time-out), then takes no more than has
    // arrived: WinHttpReadData alone may wait to fill the whole buffer (Wine's does for a body of
    // known length), so one read of an answer that trickles would last as long as the trickle and
    // the callers' deadlines, checked between reads, could not end it.
    std::optional<std::size_t> read(char* buffer, std::size_t capacity) override {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(handle_.get(), &available)) return std::nullopt;
        if (available == 0) return 0;  // the end of the body
        const DWORD wanted = static_cast<DWORD>((std::min<std::size_t>)(capacity, available));
        DWORD count = 0;
        if (!WinHttpReadData(handle_.get(), buffer, wanted, &count)) return std::nullopt;
        return count;
    }

private:
    ScopedInternetHandle handle_;
};

class WinHttpConnection final : public HttpConnection {
public:
    explicit WinHttpConnection(ScopedInternetHandle handle) : handle_(std::move(handle)) {}

    std::unique_ptr<HttpRequest> openRequest(const std::wstring& verb, const std::wstring& path,
                                             bool refresh) override {
        const DWORD flags = WINHTTP_FLAG_SECURE | (refresh ? WINHTTP_FLAG_REFRESH : 0);
        ScopedInternetHandle request(WinHttpOpenRequest(handle_.get(), verb.c_str(), path.c_str(), nullptr,
                                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!request) return nullptr;
        return std::make_unique<WinHttpRequest>(std::move(request));
    }

private:
    ScopedInternetHandle handle_;
};

class WinHttpSession final : public HttpSession {
public:
    WinHttpSession(std::vector<std::unique_ptr<LoadedModule>> tlsLibraries, ScopedInternetHandle handle)
        : tlsLibraries_(std::move(tlsLibraries)), handle_(std::move(handle)) {}

    std::unique_ptr<HttpConnection> connect(const HttpHost& host) override {
        ScopedInternetHandle connection(WinHttpConnect(handle_.get(), host.name.c_str(), host.port, 0));
        if (!connection) return nullptr;
        return std::make_unique<WinHttpConnection>(std::move(connection));
    }

private:
    // Declared first so that they are released after the session.
    std::vector<std::unique_ptr<LoadedModule>> tlsLibraries_;
    ScopedInternetHandle handle_;
};

}  // namespace

std::unique_ptr<HttpSession> WinHttpTransport::openSession(const std::wstring& userAgent, std::uint32_t timeoutMs) {
    // WinHTTP loads the TLS and certificate libraries by name only at its first TLS handshake, and
    // a loader may then look in the exe's own folder first (Wine's does for the DLLs its own DLLs
    // delay-load, whatever the default DLL directories say). Loaded from System32 beforehand, they
    // are found in the process instead.
    Win32ModuleLoader modules;
    std::vector<std::unique_ptr<LoadedModule>> tlsLibraries;
    for (const wchar_t* name : kTlsLibraries) tlsLibraries.push_back(modules.loadFromSystem32(name));
    ScopedInternetHandle session(WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                             WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return nullptr;
    const int timeout = static_cast<int>(timeoutMs);
    WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);
    // Wine leaves the wait for the response headers unbounded whatever WinHttpSetTimeouts says, so
    // a server that accepts and stays silent would hang the request for good; bound it as well.
    DWORD responseTimeout = timeoutMs;
    WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout, sizeof(responseTimeout));
    return std::make_unique<WinHttpSession>(std::move(tlsLibraries), std::move(session));
}

}  // namespace quorvel
