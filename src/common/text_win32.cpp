#include "common/text.hpp"

#include <windows.h>

namespace quorvel {

std::wstring lowerCopy(std::wstring_view text) {
    std::wstring out(text);
    // One unit at a time, so that a surrogate or a unit whose mapping would change the length
    // stays in place.
    for (wchar_t& unit : out) CharLowerBuffW(&unit, 1);
    return out;
}

}  // namespace quorvel
