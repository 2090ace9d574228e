#include "common/text.hpp"

#include <cwctype>

namespace quorvel {

std::wstring lowerCopy(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& unit : out) unit = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(unit)));
    return out;
}

}  // namespace quorvel
