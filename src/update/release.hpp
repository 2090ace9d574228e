#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// One build of the helper: its build number, the exact size of its executable image and the
// image's SHA-256 as 64 lower-case hexadecimal characters.
struct Release {
    std::uint64_t build = 0;
    std::uint64_t bytes = 0;
    std::string sha256;

    bool operator==(const Release&) const = default;
};

}  // namespace quorvel
