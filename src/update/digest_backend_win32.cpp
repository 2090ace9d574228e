#include "update/digest_backend.hpp"

#include "common/error.hpp"

#include <windows.h>
#include <bcrypt.h>

#include <limits>

namespace quorvel {
namespace {

class AlgorithmProvider {
public:
    AlgorithmProvider() {
        check(BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)),
              "SHA256 初始化失败");
    }
    ~AlgorithmProvider() { BCryptCloseAlgorithmProvider(handle_, 0); }
    AlgorithmProvider(const AlgorithmProvider&) = delete;
    AlgorithmProvider& operator=(const AlgorithmProvider&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

}  // namespace

Sha256Digest computeSha256(std::string_view bytes) {
    AlgorithmProvider provider;
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
