// The lobby's answers to one join's calls (the early report, the context and consume requests, a
// progress report), each scripted from the input on the transport fake: a failing step, the
// status, how many bytes each read hands over and the body. A request must return exactly the
// parsed body of a 200 answer within 1 MiB, and otherwise fail with the shared error (the step's
// message, the answer's error.message or the HTTP status) or, for a body that is no JSON, the
// library's parse error (or its range error for a number it cannot hold). Reports never fail.
// Every handle opened is closed on every path.
#include "common/error.hpp"
#include "lobby/lobby_requests.hpp"
#include "support/fake_http_transport.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using quorvel::testing::HttpStep;

constexpr std::size_t kMaxAnswerBytes = 1'048'576;

// One answer from the input, on a transport of its own. A body may be repeated to pass the size
// limit.
void script(FuzzedDataProvider& input, quorvel::testing::FakeHttpTransport& transport) {
    transport = quorvel::testing::FakeHttpTransport();
    const std::uint8_t failAt = input.ConsumeIntegral<std::uint8_t>();
    if (failAt <= static_cast<std::uint8_t>(HttpStep::read)) transport.failAt = static_cast<HttpStep>(failAt);
    transport.failingRead = input.ConsumeIntegralInRange<std::size_t>(0, 4);
    const std::uint8_t status = input.ConsumeIntegral<std::uint8_t>();
    transport.status = status < 128 ? 200 : status < 192 ? input.ConsumeIntegral<std::uint32_t>() : 400 + status % 8;
    const std::string piece = input.ConsumeRandomLengthString(8192);
    const bool huge = input.ConsumeIntegral<std::uint8_t>() == 0xFF && !piece.empty();
    transport.body = piece;
    if (huge) {
        transport.body.reserve(kMaxAnswerBytes + 2 * piece.size());
        while (transport.body.size() <= kMaxAnswerBytes) transport.body += transport.body;
    }
    transport.deliveryLimit = input.ConsumeIntegralInRange<std::size_t>(1, 9000);
    if (huge) transport.deliveryLimit = SIZE_MAX;
}

std::string statusMessage(std::uint32_t status, const nlohmann::json& answer) {
    if (answer.is_object() && answer.contains("error") && answer["error"].is_object() &&
        answer["error"].contains("message") && answer["error"]["message"].is_string())
        return answer["error"]["message"].get<std::string>();
    return "大厅请求失败 (HTTP " + std::to_string(status) + ")";
}

void checkClosed(const quorvel::testing::FakeHttpTransport& transport) {
    if (transport.handlesOpen != 0) std::abort();
    if (!transport.events.empty() && transport.events.back() != "close session") std::abort();
}

void checkRequest(quorvel::testing::FakeHttpTransport& transport, const quorvel::LobbyAccess& lobby,
                  std::wstring_view endpoint) {
    const bool stepFails = transport.failAt.has_value() && *transport.failAt != HttpStep::read;
    // Read k is reached when the k reads before it all handed over bytes.
    const std::size_t perRead = std::min<std::size_t>(transport.deliveryLimit, 8192);
    const std::size_t k = transport.failingRead;
    const bool readFails = transport.failAt == HttpStep::read && (k == 0 || (k - 1) * perRead < transport.body.size());
    try {
        const nlohmann::json answer = quorvel::requestEntry(lobby, "ticket", endpoint);
        if (stepFails || transport.status != 200 || transport.body.size() > kMaxAnswerBytes) std::abort();
        if (answer != nlohmann::json::parse(transport.body)) std::abort();
        if (transport.sentBody != R"({"ticket":"ticket"})") std::abort();
    } catch (const quorvel::UserError& failure) {
        if (!stepFails && !readFails && transport.body.size() <= kMaxAnswerBytes) {
            // Only the status can have failed it, with the answer's own message.
            if (transport.status == 200) std::abort();
            if (failure.what() != statusMessage(transport.status, nlohmann::json::parse(transport.body))) std::abort();
        }
    } catch (const nlohmann::json::parse_error&) {
        if (stepFails || readFails || transport.body.size() > kMaxAnswerBytes) std::abort();
        if (nlohmann::json::accept(transport.body)) std::abort();
    } catch (const nlohmann::json::out_of_range&) {
        // The library's failure for a number it cannot hold (1e999), with its own message.
        if (stepFails || readFails || transport.body.size() > kMaxAnswerBytes) std::abort();
        if (nlohmann::json::accept(transport.body)) std::abort();
    }
    checkClosed(transport);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    quorvel::testing::FakeHttpTransport transport;
    const quorvel::testing::FakeTickClock ticks;  // never moves: no exchange runs out of time here
    const quorvel::LobbyAccess lobby{transport, ticks, quorvel::HttpHost{L"lobby.test", 443}};

    script(input, transport);
    quorvel::reportEarlyChecking(lobby, "ticket");
    checkClosed(transport);

    script(input, transport);
    checkRequest(transport, lobby, L"context");
    script(input, transport);
    checkRequest(transport, lobby, L"consume");

    script(input, transport);
    int shown = 0;
    quorvel::ProgressReporter reporter(lobby, "ticket", [&](const std::wstring&) { ++shown; });
    reporter.reportProgress("launching", L"text");
    if (shown != 1) std::abort();
    checkClosed(transport);
    return 0;
}
