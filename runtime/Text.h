#pragma once
// Small text helpers shared by the core.
#include <string>
#include <string_view>

namespace folioray {

// Strips leading and trailing space characters (only ' ', as the control's trims do).
std::string Trim(std::string_view s);
std::string ToLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// True when `s` holds CR, LF or NUL: such text must never reach a line-based protocol.
bool HasLineBreakOrNul(std::string_view s);

}  // namespace folioray
