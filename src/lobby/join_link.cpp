#include "lobby/join_link.hpp"

#include "common/error.hpp"
#include "common/text.hpp"

#include <regex>

namespace quorvel {

std::string parseJoinLink(std::wstring_view link) {
    static const std::regex pattern(R"(txqjoin(?:-native)?://enter/?\?ticket=([A-Za-z0-9_-]{43}))",
                                    std::regex::ECMAScript | std::regex::icase);
    const std::string text = toNarrow(link);
    std::smatch match;
    check(std::regex_match(text, match, pattern), kInvalidLinkMessage);
    return match[1].str();
}

}  // namespace quorvel
