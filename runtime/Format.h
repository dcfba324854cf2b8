#pragma once
// Number and date formatting with the display patterns the control uses.
#include <cstdint>
#include <ctime>
#include <string>

namespace folioray {

// Nearest integer, ties to even (the rounding of every conversion in the control).
double RoundHalfEven(double v);

// Formats `value` with a pattern of '#', '0' and ',' such as "#####0" or "###,###,##0":
// rounded to a whole number (ties to even), at least as many digits as the pattern has
// '0's, grouped in thousands with the user's group separator when the pattern has a ','.
std::string FormatNumber(double value, const std::string& pattern);

// The user's thousands separator (from the environment's locale; "," when it names none).
std::string GroupSeparator();
// Lets tests and hosts fix the separator; an empty optional restores the locale's.
void SetGroupSeparatorOverride(const std::string* sep);

// "d-mmm-yyyy hh:mm:ss" with the locale's abbreviated month name.
std::string FormatDateTime(const std::tm& t);
std::string FormatNow();

}  // namespace folioray
