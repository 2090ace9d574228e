#pragma once

#include <array>
#include <string_view>

namespace quorvel {

using Sha256Digest = std::array<unsigned char, 32>;

// The platform's SHA-256 in one call: BCrypt on Windows, OpenSSL's libcrypto elsewhere.
// Fails with "SHA256 初始化失败" when the provider cannot be opened, "SHA256 校验失败" when
// the hash fails.
Sha256Digest computeSha256(std::string_view bytes);

}  // namespace quorvel
