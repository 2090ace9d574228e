#include "app/diagnostics.hpp"

#include "common/error.hpp"
#include "lobby/join_link.hpp"
#include "update/digest.hpp"

#include <string>

namespace quorvel {

void runHealthCheck() {
    check(sha256Hex("abc") == "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
          "SHA256 health check failed");
    parseJoinLink(L"txqjoin://enter/?ticket=" + std::wstring(43, L'a'));
}

}  // namespace quorvel
