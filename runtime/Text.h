#pragma once
// Small text helpers shared by the core.
#include <string>
#include <string_view>

#include "folioray2/core_export.h"

namespace folioray {

// Strips leading and trailing space characters (only ' ', as the control's trims do).
FOLIORAY_CORE_EXPORT std::string Trim(std::string_view s);
FOLIORAY_CORE_EXPORT std::string ToLower(std::string_view s);
FOLIORAY_CORE_EXPORT bool EqualsNoCase(std::string_view a, std::string_view b);
// True when `s` holds CR, LF or NUL: such text must never reach a line-based protocol.
FOLIORAY_CORE_EXPORT bool HasLineBreakOrNul(std::string_view s);

// Hides `secret` in `text` behind eight signs of a kind the secret lacks. Letters are
// compared case-folded, code point by code point in UTF-8 (bytes that are not UTF-8 match
// only themselves). A secret of kShortSecret code points or more is masked wherever it
// stands; a shorter one only where it is not part of a longer word (a letter or digit at
// its edge does not touch another), so that a server's text is not cut to pieces by the
// mask of a one-letter password, which such text gives nothing away about.
inline constexpr size_t kShortSecret = 4;
FOLIORAY_CORE_EXPORT std::string MaskSecret(std::string_view text, std::string_view secret);

}  // namespace folioray
