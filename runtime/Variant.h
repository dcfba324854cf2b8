#pragma once
// The value a script hands to the control: missing, empty, null, a number, a boolean,
// a string, or a value with no text form (an array or object).
#include <cstdint>
#include <string>
#include <variant>

#include "folioray2/core_export.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT Variant {
  public:
    enum class Type { Empty, Missing, Null, Integer, Long, Double, Boolean, String, Object, Array };

    Variant() = default;  // Empty
    Variant(int32_t v) : type_(Type::Long), value_(static_cast<double>(v)) {}
    Variant(int16_t v) : type_(Type::Integer), value_(static_cast<double>(v)) {}
    Variant(double v) : type_(Type::Double), value_(v) {}
    Variant(bool v) : type_(Type::Boolean), value_(v ? -1.0 : 0.0) {}
    Variant(const char* s) : type_(Type::String), value_(std::string(s)) {}
    Variant(std::string s) : type_(Type::String), value_(std::move(s)) {}

    static Variant Missing() { return Variant(Type::Missing); }
    static Variant Null() { return Variant(Type::Null); }
    static Variant Object() { return Variant(Type::Object); }
    static Variant Array() { return Variant(Type::Array); }

    Type type() const { return type_; }
    bool IsMissing() const { return type_ == Type::Missing; }
    bool IsEmpty() const { return type_ == Type::Empty; }
    bool IsNull() const { return type_ == Type::Null; }
    bool IsString() const { return type_ == Type::String; }
    bool IsNumber() const {
        return type_ == Type::Integer || type_ == Type::Long || type_ == Type::Double;
    }
    // The raw number of a numeric or boolean value (true is -1).
    double Number() const;
    const std::string& String() const;

    // Conversions with the scripting platform's rules; each throws VbError on failure
    // (13 type mismatch, 6 overflow, 94 invalid use of null).
    bool ToBool() const;
    int32_t ToLong() const;  // halves to even; out of 32-bit range is overflow
    int16_t ToInteger() const;
    double ToDouble() const;
    std::string ToText() const;

    // True for numbers, booleans, empty, and strings that parse as a number.
    bool IsNumeric() const;

    // Debug / display form: the text form, or "<null>", "<missing>", "<object>"...
    std::string Describe() const;

    friend bool operator==(const Variant& a, const Variant& b) {
        return a.type_ == b.type_ && a.value_ == b.value_;
    }

  private:
    explicit Variant(Type t) : type_(t) {}
    Type type_ = Type::Empty;
    std::variant<double, std::string> value_{0.0};
};

// Parses numeric text as the platform does: surrounding spaces, sign, digits with one
// decimal point, optional exponent, or &H / &O prefixed integers. False when it is not a number.
FOLIORAY_CORE_EXPORT bool ParseNumber(const std::string& text, double& out);

}  // namespace folioray
