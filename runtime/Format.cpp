#include "runtime/Format.h"

#include <langinfo.h>
#include <locale.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <optional>

namespace folioray {

double RoundHalfEven(double v) {
    if (!std::isfinite(v)) return v;
    double f = std::floor(v);
    double diff = v - f;
    if (diff > 0.5) return f + 1.0;
    if (diff < 0.5) return f;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

namespace {

std::mutex g_sepMutex;
std::optional<std::string> g_sepOverride;

// Only the numeric category is loaded: a whole std::locale("") reads every category's
// files, and this runs on the way to each scan's image facts.
std::string LocaleSeparator() {
    const locale_t loc = ::newlocale(LC_NUMERIC_MASK, "", locale_t{});
    if (!loc) return ",";  // an unknown LANG
    // The first byte, as the C++ library's numpunct<char> takes it.
    const char sep = *::nl_langinfo_l(THOUSEP, loc);
    const bool grouped = *::nl_langinfo_l(GROUPING, loc) != '\0';
    ::freelocale(loc);
    return sep != '\0' && grouped ? std::string(1, sep) : ",";
}

}  // namespace

std::string GroupSeparator() {
    std::lock_guard<std::mutex> lock(g_sepMutex);
    if (g_sepOverride) return *g_sepOverride;
    static const std::string fromLocale = LocaleSeparator();
    return fromLocale;
}

void SetGroupSeparatorOverride(const std::string* sep) {
    std::lock_guard<std::mutex> lock(g_sepMutex);
    if (sep) {
        g_sepOverride = *sep;
    } else {
        g_sepOverride.reset();
    }
}

std::string FormatNumber(double value, const std::string& pattern) {
    size_t minDigits = 0;
    bool group = false;
    for (char c : pattern) {
        if (c == '0') ++minDigits;
        if (c == ',') group = true;
    }
    double r = RoundHalfEven(value);
    bool negative = r < 0;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", std::fabs(r));
    std::string digits = buf;
    if (digits.size() < minDigits) digits.insert(0, minDigits - digits.size(), '0');
    if (group && digits.size() > 3) {
        std::string sep = GroupSeparator();
        std::string out;
        size_t lead = digits.size() % 3;
        if (lead == 0) lead = 3;
        out.append(digits, 0, lead);
        for (size_t i = lead; i < digits.size(); i += 3) {
            out += sep;
            out.append(digits, i, 3);
        }
        digits = std::move(out);
    }
    return negative ? "-" + digits : digits;
}

std::string FormatDateTime(const std::tm& t) {
    char month[64] = {0};
    std::strftime(month, sizeof month, "%b", &t);
    char buf[160];
    std::snprintf(buf, sizeof buf, "%d-%s-%04d %02d:%02d:%02d", t.tm_mday, month, t.tm_year + 1900,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

std::string FormatNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatDateTime(local);
}

}  // namespace folioray
