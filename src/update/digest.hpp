#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// SHA-256 of `bytes` as 64 lower-case hexadecimal characters, high nibble first.
std::string sha256Hex(std::string_view bytes);

}  // namespace quorvel
