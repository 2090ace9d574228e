// Any JSON document as an Update manifest. It must be refused with the shared error (or, for a
// "schema" or "platform" of another type, the library's type error) or give a Release inside the
// accepted ranges, exactly the one the rules restated in release_rules.hpp give, whose JSON form
// and file text read back to the same Release.
#include "common/error.hpp"
#include "release_rules.hpp"
#include "update/release.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool isLowerHex(const std::string& text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return text.size() == 64;
}

void checkAccepted(const quorvel::Release& release) {
    if (release.build < quorvel::kOldestBuild || release.build > quorvel::kLastBuild) std::abort();
    if (release.bytes < quorvel::kMinReleaseBytes || release.bytes > quorvel::kMaxReleaseBytes) std::abort();
    if (!isLowerHex(release.sha256)) std::abort();
    if (quorvel::parseRelease(quorvel::releaseToJson(release)) != release) std::abort();
    const std::string text = quorvel::releaseFileText(release);
    if (text.find('\r') != std::string::npos || text.back() == '\n') std::abort();
    if (quorvel::parseRelease(nlohmann::json::parse(text)) != release) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const nlohmann::json manifest = nlohmann::json::parse(data, data + size, nullptr, false);
    if (manifest.is_discarded()) return 0;
    if (const auto release = quorvel::fuzzing::checkedRelease(manifest)) checkAccepted(*release);
    return 0;
}
