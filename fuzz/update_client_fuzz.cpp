// The update host's answers to the update client's reads, on the transport fake: the input picks
// a failing step, the status, how many bytes each read hands over, how far the clock moves per
// read and the body (repeated to pass the size limits). The client must return exactly the body
// when the exchange went through within the limits, and fail with the message of the first step
// that went wrong otherwise; every handle it opened is closed, the session last. A
// manifest read that is JSON must then be read as exactly the Release the restated rules give, or
// refused cleanly.
#include "common/error.hpp"
#include "platform/https_exchange.hpp"
#include "release_rules.hpp"
#include "support/fake_http_transport.hpp"
#include "update/release.hpp"
#include "update/update_client.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using quorvel::testing::HttpStep;

constexpr std::size_t kReadChunk = 16'384;
constexpr std::uint64_t kDeadlineMs = 25'000;

// What the exchange must end in, step by step from the script: the body, or the failure message.
std::string expectedOutcome(const quorvel::testing::FakeHttpTransport& script, std::size_t maxBytes,
                            std::uint64_t msPerRead, bool& succeeds) {
    succeeds = false;
    switch (script.failAt.value_or(HttpStep::read)) {
        case HttpStep::openSession:
        case HttpStep::connect:
        case HttpStep::openRequest:
            return quorvel::kHostUnreachableMessage;
        case HttpStep::disableRedirects:
            return "更新 HTTPS 策略失败";
        case HttpStep::send:
        case HttpStep::receiveResponse:
            return "更新服务暂不可用";
        case HttpStep::statusCode:
            return "更新服务返回异常";
        case HttpStep::read:
            break;
    }
    if (script.status != 200) return "更新服务返回异常";
    std::size_t offset = 0;
    for (std::size_t read = 0;; ++read) {
        if (read * msPerRead >= kDeadlineMs) return "更新下载超时";
        if (script.failAt == HttpStep::read && read == script.failingRead) return "更新下载中断";
        const std::size_t count = std::min({kReadChunk, script.deliveryLimit, script.body.size() - offset});
        if (count == 0) break;
        if (offset + count > maxBytes) return "更新响应过大";
        offset += count;
    }
    succeeds = true;
    return script.body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool manifest = input.ConsumeBool();
    const std::size_t maxBytes =
        manifest ? quorvel::kMaxManifestBytes : input.ConsumeIntegralInRange<std::size_t>(0, 70'000);

    quorvel::testing::FakeHttpTransport transport;
    const std::uint8_t failAt = input.ConsumeIntegral<std::uint8_t>();
    if (failAt <= static_cast<std::uint8_t>(HttpStep::read)) transport.failAt = static_cast<HttpStep>(failAt);
    transport.failingRead = input.ConsumeIntegralInRange<std::size_t>(0, 8);
    transport.status = input.ConsumeBool() ? 200 : input.ConsumeIntegral<std::uint32_t>();
    const std::uint64_t msPerRead = input.ConsumeBool() ? 0 : input.ConsumeIntegralInRange<std::uint64_t>(0, 30'000);
    const std::size_t repeat = input.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string piece = input.ConsumeRandomLengthString(4096);
    for (std::size_t i = 0; i < repeat; ++i) transport.body += piece;
    // Never fewer bytes per read than keep an exchange within a few hundred reads.
    transport.deliveryLimit =
        input.ConsumeIntegralInRange<std::size_t>(std::max<std::size_t>(1, transport.body.size() / 256), 20'000);

    quorvel::testing::FakeTickClock ticks;
    transport.onStep = [&](HttpStep step) {
        if (step == HttpStep::read) ticks.now += msPerRead;
    };
    // The clock moves only as each read begins, so the n-th read starts n steps after the deadline
    // was set.
    const quorvel::UpdateAccess access{transport, ticks, quorvel::HttpHost{L"update.test", 443}};

    const std::wstring path = manifest ? quorvel::kUpdateManifestPath : L"/downloads/native/image.exe";
    bool succeeds = false;
    const std::string expected = expectedOutcome(transport, maxBytes, msPerRead, succeeds);
    std::string body;
    try {
        body = quorvel::fetchUpdateFile(access, path, maxBytes);
        if (!succeeds || body != expected) std::abort();
    } catch (const quorvel::UserError& failure) {
        if (succeeds || failure.what() != expected) std::abort();
    }
    if (transport.handlesOpen != 0) std::abort();
    if (transport.refresh && transport.path != path) std::abort();
    if (!transport.events.empty() && transport.events.back() != "close session") std::abort();
    if (transport.refresh != std::optional<bool>(true) && transport.failAt != HttpStep::openSession &&
        transport.failAt != HttpStep::connect)
        std::abort();
    if (!succeeds || !manifest) return 0;

    const nlohmann::json document = nlohmann::json::parse(body, nullptr, false);
    if (document.is_discarded()) return 0;
    quorvel::fuzzing::checkedRelease(document);
    return 0;
}
