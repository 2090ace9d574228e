#include "common/text.hpp"

#include <locale.h>
#include <wctype.h>

#include <cstdint>
#include <stdexcept>

namespace quorvel {
namespace {

// Unicode's simple lower-case mapping comes with the C.UTF-8 locale, which glibc always has; the
// process's own locale (plain "C" unless someone changed it) would fold ASCII only.
locale_t unicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (locale == locale_t{}) throw std::runtime_error("lowerCopy: the C.UTF-8 locale is missing");
    return locale;
}

}  // namespace

std::wstring lowerCopy(std::wstring_view text) {
    const locale_t locale = unicodeLocale();
    std::wstring out(text);
    for (wchar_t& unit : out) {
        // Windows folds UTF-16 units one at a time and so never folds a letter beyond U+FFFF,
        // which takes two units there; such letters stay as they are here too.
        if (static_cast<std::uint32_t>(unit) > 0xFFFF) continue;
        unit = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(unit), locale));
    }
    return out;
}

}  // namespace quorvel
