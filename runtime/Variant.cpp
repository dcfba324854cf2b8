#include "runtime/Variant.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/Format.h"
#include "runtime/Text.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool ParseRadix(const std::string& s, size_t pos, int radix, double& out) {
    if (pos >= s.size()) return false;
    uint64_t v = 0;
    for (; pos < s.size(); ++pos) {
        int d;
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[pos])));
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (radix == 16 && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else {
            return false;
        }
        if (d >= radix) return false;
        v = v * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull) return false;
    }
    // &H literals are 32-bit: &HFFFFFFFF is -1; up to &HFFFF they read as 16-bit values.
    if (v <= 0xFFFF) {
        out = static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(v)));
    } else {
        out = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    }
    return true;
}

}  // namespace

bool ParseNumber(const std::string& text, double& out) {
    size_t b = 0, e = text.size();
    while (b < e && IsSpace(text[b])) ++b;
    while (e > b && IsSpace(text[e - 1])) --e;
    if (b == e) return false;
    std::string s = text.substr(b, e - b);
    if (s.size() > 2 && s[0] == '&') {
        char k = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
        if (k == 'H') return ParseRadix(s, 2, 16, out);
        if (k == 'O') return ParseRadix(s, 2, 8, out);
        return false;
    }
    // Strict grammar: [sign] digits [. digits] [e [sign] digits], at least one digit.
    size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t ed = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++ed;
        if (ed == 0) return false;
    }
    if (i != s.size()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size()) return false;
    if (!std::isfinite(v)) throw VbError(err::kOverflow);
    out = v;
    return true;
}

double Variant::Number() const {
    if (auto* d = std::get_if<double>(&value_)) return *d;
    return 0.0;
}

const std::string& Variant::String() const {
    static const std::string kEmpty;
    if (auto* s = std::get_if<std::string>(&value_)) return *s;
    return kEmpty;
}

bool Variant::ToBool() const {
    switch (type_) {
        case Type::Empty:
            return false;
        case Type::Null:
            throw VbError(err::kInvalidUseOfNull);
        case Type::Integer:
        case Type::Long:
        case Type::Double:
        case Type::Boolean:
            return Number() != 0.0;
        case Type::String: {
            const std::string& s = String();
            if (EqualsNoCase(s, "True")) return true;
            if (EqualsNoCase(s, "False")) return false;
            double v;
            if (ParseNumber(s, v)) return v != 0.0;
            throw VbError(err::kTypeMismatch);
        }
        default:
            throw VbError(err::kTypeMismatch);
    }
}

double Variant::ToDouble() const {
    switch (type_) {
        case Type::Empty:
            return 0.0;
        case Type::Null:
            throw VbError(err::kInvalidUseOfNull);
        case Type::Integer:
        case Type::Long:
        case Type::Double:
        case Type::Boolean:
            return Number();
        case Type::String: {
            double v;
            if (ParseNumber(String(), v)) return v;
            throw VbError(err::kTypeMismatch);
        }
        default:
            throw VbError(err::kTypeMismatch);
    }
}

int32_t Variant::ToLong() const {
    double r = RoundHalfEven(ToDouble());
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw VbError(err::kOverflow);
    return static_cast<int32_t>(r);
}

int16_t Variant::ToInteger() const {
    double r = RoundHalfEven(ToDouble());
    if (!(r >= -32768.0 && r <= 32767.0)) throw VbError(err::kOverflow);
    return static_cast<int16_t>(r);
}

std::string Variant::ToText() const {
    switch (type_) {
        case Type::Empty:
            return {};
        case Type::Null:
            throw VbError(err::kInvalidUseOfNull);
        case Type::Integer:
        case Type::Long: {
            return std::to_string(static_cast<int64_t>(Number()));
        }
        case Type::Double: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15G", Number());
            return buf;
        }
        case Type::Boolean:
            return Number() != 0.0 ? "True" : "False";
        case Type::String:
            return String();
        default:
            throw VbError(err::kTypeMismatch);
    }
}

bool Variant::IsNumeric() const {
    switch (type_) {
        case Type::Empty:
        case Type::Integer:
        case Type::Long:
        case Type::Double:
        case Type::Boolean:
            return true;
        case Type::String: {
            double v;
            try {
                return ParseNumber(String(), v);
            } catch (const VbError&) {
                return true;  // a number, just too large for a double
            }
        }
        default:
            return false;
    }
}

std::string Variant::Describe() const {
    switch (type_) {
        case Type::Empty:
            return "<empty>";
        case Type::Missing:
            return "<missing>";
        case Type::Null:
            return "<null>";
        case Type::Object:
            return "<object>";
        case Type::Array:
            return "<array>";
        default:
            return ToText();
    }
}

}  // namespace folioray
