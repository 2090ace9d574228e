// Lobby answers as raw bytes: parsed strictly, then validated and compared with themselves. Every
// outcome must be a parse error or the shared error; an accepted Entry must equal itself.
#include "common/error.hpp"
#include "lobby/entry.hpp"

#include <cstdint>
#include <cstdlib>

namespace {
struct FixedClock final : quorvel::Clock {
    double now() const override { return 1'800'000'000.0; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const nlohmann::json answer = nlohmann::json::parse(data, data + size, nullptr, false);
    if (answer.is_discarded()) return 0;
    const FixedClock clock;
    try {
        const quorvel::Entry entry = quorvel::validateEntry(answer, clock);
        if (entry.serverSteamId != answer["serverSteamId"].get<std::string>() || entry.json != answer) std::abort();
        quorvel::requireSameEntry(entry, answer, clock);
    } catch (const quorvel::UserError&) {
    }
    return 0;
}
