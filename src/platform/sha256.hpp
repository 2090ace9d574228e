#pragma once
// SHA-256: the platform's one call (sha256_win32.cpp with BCrypt, sha256_posix.cpp with OpenSSL's
// libcrypto) and its hexadecimal form (sha256.cpp).

#include <array>
#include <string>
#include <string_view>

namespace quorvel {

using Sha256Digest = std::array<unsigned char, 32>;

// The platform's SHA-256 in one call: BCrypt on Windows, OpenSSL's libcrypto elsewhere.
// Fails with "SHA256 初始化失败" when the provider cannot be opened, "SHA256 校验失败" when
// the hash fails.
Sha256Digest computeSha256(std::string_view bytes);

// SHA-256 of `bytes` as 64 lower-case hexadecimal characters, high nibble first.
std::string sha256Hex(std::string_view bytes);

}  // namespace quorvel
