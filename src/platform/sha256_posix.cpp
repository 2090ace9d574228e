#include "platform/sha256.hpp"

#include "common/error.hpp"

#include <openssl/evp.h>

namespace quorvel {

Sha256Digest computeSha256(std::string_view bytes) {
    Sha256Digest digest{};
    unsigned int length = 0;
    check(EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) == 1 &&
              length == digest.size(),
          "SHA256 校验失败");
    return digest;
}

}  // namespace quorvel
