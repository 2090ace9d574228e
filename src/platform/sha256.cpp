#include "platform/sha256.hpp"

namespace quorvel {

std::string sha256Hex(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    const Sha256Digest digest = computeSha256(bytes);
    std::string text;
    text.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 0x0F]);
    }
    return text;
}

}  // namespace quorvel
