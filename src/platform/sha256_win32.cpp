#include "platform/sha256.hpp"

#include "common/error.hpp"
#include "common/scoped_handle_win32.hpp"

#include <windows.h>
#include <bcrypt.h>

#include <limits>

namespace quorvel {

Sha256Digest computeSha256(std::string_view bytes) {
    BCRYPT_ALG_HANDLE opened = nullptr;
    check(BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0)),
          "SHA256 初始化失败");
    const ScopedAlgorithmProvider provider(opened);
    // One call takes at most 4 GiB; no caller hashes more than 64 MiB.
    check(bytes.size() <= std::numeric_limits<ULONG>::max(), "SHA256 校验失败");
    Sha256Digest digest{};
    auto* input = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    const NTSTATUS status = BCryptHash(provider.get(), nullptr, 0, input, static_cast<ULONG>(bytes.size()),
                                       digest.data(), static_cast<ULONG>(digest.size()));
    check(BCRYPT_SUCCESS(status), "SHA256 校验失败");
    return digest;
}

}  // namespace quorvel
