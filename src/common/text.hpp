#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Narrow strings hold UTF-8. Wide strings hold UTF-16 on Windows and the same code points as
// UTF-32 elsewhere; only these helpers know the width.

// Fails with "Invalid UTF-8" on ill-formed input (overlong forms, surrogates, values above
// U+10FFFF, truncated sequences). An empty input gives an empty result.
std::wstring toWide(std::string_view utf8);

// Never fails: an unpaired surrogate (or, with 32-bit units, any value that is not a scalar
// value) becomes U+FFFD.
std::string toNarrow(std::wstring_view wide);

// Like toWide, but every ill-formed sequence becomes U+FFFD instead of failing. For showing a
// message whose bytes may have come from outside.
std::wstring toWideLenient(std::string_view utf8);

// UTF-16 units (as another process hands them over) as a wide string: unchanged on Windows;
// elsewhere each surrogate pair becomes its code point and an unpaired surrogate stays as its
// unit value, so nothing is lost or replaced on either side.
std::wstring fromUtf16(std::u16string_view units);

// Copy with `A`-`Z` folded to `a`-`z` and every other unit left as it is, the same in both builds
// (the runtime's towlower in the program's "C" locale). The tokens and addon names it compares are
// ASCII; a wider folding would let letters such as U+0130 or the Kelvin sign pass for `i` or `k`.
std::wstring lowerCopy(std::wstring_view text);

}  // namespace quorvel
