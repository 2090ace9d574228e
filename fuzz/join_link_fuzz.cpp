// Any sequence of UTF-16 units (or code points natively) as a join link: accepted only with a
// 43-character ticket of the URL-safe alphabet, rejected with the shared error otherwise.
#include "common/error.hpp"
#include "lobby/join_link.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring link;
    for (std::size_t i = 0; i + 1 < size; i += 2) link.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    try {
        const std::string ticket = quorvel::parseJoinLink(link);
        if (ticket.size() != 43) std::abort();
        for (char c : ticket) {
            const bool ok =
                (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
            if (!ok) std::abort();
        }
    } catch (const quorvel::UserError&) {
    }
    return 0;
}
