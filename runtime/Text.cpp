#include "runtime/Text.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace folioray {

std::string Trim(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(' ');
    return std::string(s.substr(b, e - b + 1));
}

std::string ToLower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ToLower(a) == ToLower(b);
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

namespace {

struct CodePoint {
    char32_t folded;
    bool alnum;
    size_t begin, end;  // its bytes in the text
};

locale_t Utf8() {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return utf8;
}

// One UTF-8 sequence at `i`, or the single byte as itself (offset past any code point).
char32_t Decode(std::string_view s, size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int n = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    char32_t c = n == 0 ? b : n == 1 ? b & 0x1F : n == 2 ? b & 0x0F : b & 0x07;
    bool ok = n >= 0 && i + static_cast<size_t>(n) < s.size();
    for (int k = 1; ok && k <= n; ++k) {
        const auto t = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        ok = (t & 0xC0) == 0x80;
        c = (c << 6) | (t & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || c < kMin[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0x110000 + b;
    }
    i += static_cast<size_t>(n) + 1;
    return c;
}

std::vector<CodePoint> Fold(std::string_view s) {
    std::vector<CodePoint> out;
    const locale_t utf8 = Utf8();
    for (size_t i = 0; i < s.size();) {
        const size_t begin = i;
        char32_t c = Decode(s, i);
        bool alnum = false;
        if (c < 0x110000) {
            const auto w = static_cast<wint_t>(c);
            if (utf8) {
                c = static_cast<char32_t>(towlower_l(towupper_l(w, utf8), utf8));
                alnum = iswalnum_l(w, utf8) != 0;
            } else if (c < 0x80) {
                c = static_cast<char32_t>(std::tolower(static_cast<int>(c)));
                alnum = std::isalnum(static_cast<int>(c)) != 0;
            }
        }
        out.push_back({c, alnum, begin, i});
    }
    return out;
}

}  // namespace

std::string MaskSecret(std::string_view text, std::string_view secret) {
    if (secret.empty()) return std::string(text);
    const auto t = Fold(text);
    const auto p = Fold(secret);
    char sign = '*';
    for (const char c : std::string_view("*#~^_.:+=!?")) {
        sign = c;
        if (secret.find(c) == std::string_view::npos) break;
    }
    const bool shortSecret = p.size() < kShortSecret;
    std::string out;
    size_t copied = 0;
    for (size_t i = 0; i + p.size() <= t.size();) {
        bool same = true;
        for (size_t k = 0; k < p.size() && same; ++k) same = t[i + k].folded == p[k].folded;
        const size_t last = i + p.size() - 1;
        const bool inWord = shortSecret && same &&
                            ((t[i].alnum && i > 0 && t[i - 1].alnum) ||
                             (t[last].alnum && last + 1 < t.size() && t[last + 1].alnum));
        if (!same || inWord) {
            ++i;
            continue;
        }
        out.append(text.substr(copied, t[i].begin - copied));
        out.append(8, sign);
        copied = t[last].end;
        i += p.size();
    }
    out.append(text.substr(copied));
    return out;
}

}  // namespace folioray
