// libFuzzer target for the VPK directory reader: any input must end in a result or in the
// shared user-facing error; anything else (another exception, a read out of bounds) is a finding.
#include "common/error.hpp"
#include "game/vpk_directory.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the entry point; the rest is the tree or the whole file.
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        quorvel::ArchiveIndices indices;
        if (data[0] & 1) {
            std::istringstream in{std::string(bytes), std::ios::binary};
            indices = quorvel::readVpkDirectory(in, "brellowick");
        } else {
            indices = quorvel::scanVpkTree(bytes, "brellowick");
        }
        for (std::size_t i = 1; i < indices.size(); ++i) {
            if (indices[i - 1] >= indices[i]) std::abort();
        }
    } catch (const quorvel::UserError&) {
    }
    return 0;
}
