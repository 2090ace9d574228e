#include "support/fake_http_transport.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvel::testing {
namespace {

class FakeRequest final : public HttpRequest {
public:
    FakeRequest(FakeHttpTransport& fake, std::wstring verb, std::wstring path)
        : fake_(fake), verb_(std::move(verb)), path_(std::move(path)) {
        fake_.opened("request");
    }
    ~FakeRequest() override { fake_.closed("request"); }

    bool disableRedirects() override {
        if (fake_.fails(HttpStep::disableRedirects)) return false;
        fake_.redirectsDisabled = true;
        return true;
    }
    bool send(const std::wstring& headers, std::string_view body) override {
        fake_.headers = headers;
        fake_.sentBody = std::string(body);
        answer_ = fake_.next(path_);
        fake_.requests.push_back({verb_, path_, std::string(body)});
        return !fake_.fails(HttpStep::send);
    }
    bool receiveResponse() override { return !fake_.fails(HttpStep::receiveResponse); }
    std::optional<std::uint32_t> statusCode() override {
        if (fake_.fails(HttpStep::statusCode)) return std::nullopt;
        return answer_.status;
    }
    std::optional<std::size_t> read(char* buffer, std::size_t capacity) override {
        const std::size_t index = fake_.readCapacities.size();
        fake_.readCapacities.push_back(capacity);
        if (fake_.fails(HttpStep::read) && index == fake_.failingRead) return std::nullopt;
        const std::size_t count = std::min({capacity, fake_.deliveryLimit, answer_.body.size() - offset_});
        std::memcpy(buffer, answer_.body.data() + offset_, count);
        offset_ += count;
        return count;
    }

private:
    FakeHttpTransport& fake_;
    std::wstring verb_;
    std::wstring path_;
    FakeHttpTransport::Answer answer_;
    std::size_t offset_ = 0;
};

class FakeConnection final : public HttpConnection {
public:
    explicit FakeConnection(FakeHttpTransport& fake) : fake_(fake) { fake_.opened("connection"); }
    ~FakeConnection() override { fake_.closed("connection"); }

    std::unique_ptr<HttpRequest> openRequest(const std::wstring& verb, const std::wstring& path,
                                             bool refresh) override {
        fake_.verb = verb;
        fake_.path = path;
        fake_.refresh = refresh;
        if (fake_.fails(HttpStep::openRequest)) return nullptr;
        return std::make_unique<FakeRequest>(fake_, verb, path);
    }

private:
    FakeHttpTransport& fake_;
};

class FakeSession final : public HttpSession {
public:
    explicit FakeSession(FakeHttpTransport& fake) : fake_(fake) { fake_.opened("session"); }
    ~FakeSession() override { fake_.closed("session"); }

    std::unique_ptr<HttpConnection> connect(const HttpHost& host) override {
        fake_.host = host;
        if (fake_.fails(HttpStep::connect)) return nullptr;
        return std::make_unique<FakeConnection>(fake_);
    }

private:
    FakeHttpTransport& fake_;
};

}  // namespace

std::unique_ptr<HttpSession> FakeHttpTransport::openSession(const std::wstring& agent, std::uint32_t timeout) {
    userAgent = agent;
    timeoutMs = timeout;
    if (fails(HttpStep::openSession)) return nullptr;
    return std::make_unique<FakeSession>(*this);
}

FakeHttpTransport::Answer FakeHttpTransport::next(const std::wstring& asked) const {
    const auto scripted = answers.find(asked);
    if (scripted == answers.end() || scripted->second.empty()) return {status, body};
    const auto sent = std::count_if(requests.begin(), requests.end(),
                                    [&](const Request& request) { return request.path == asked; });
    return scripted->second[std::min<std::size_t>(sent, scripted->second.size() - 1)];
}

void FakeHttpTransport::opened(const char* what) {
    ++handlesOpen;
    events.push_back(std::string("open ") + what);
}

void FakeHttpTransport::closed(const char* what) {
    --handlesOpen;
    events.push_back(std::string("close ") + what);
}

}  // namespace quorvel::testing
