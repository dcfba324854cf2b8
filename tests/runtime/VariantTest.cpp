#include <gtest/gtest.h>

#include <optional>

#include "runtime/Variant.h"
#include "runtime/VbError.h"

namespace folioray {
namespace {

// nullopt: the conversion must fail with `error`.
struct BoolCase {
    const char* name;
    Variant input;
    std::optional<bool> expected;
    int32_t error;
};

void PrintTo(const BoolCase& c, std::ostream* os) {
    *os << c.name;
}

class ToBoolTest : public ::testing::TestWithParam<BoolCase> {};

TEST_P(ToBoolTest, Converts) {
    const BoolCase& c = GetParam();
    if (c.expected) {
        EXPECT_EQ(c.input.ToBool(), *c.expected);
    } else {
        try {
            (void)c.input.ToBool();
            FAIL() << "expected error " << c.error;
        } catch (const VbError& e) {
            EXPECT_EQ(e.Number(), c.error);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToBoolTest,
    ::testing::Values(
        BoolCase{"empty", Variant(), false, 0}, BoolCase{"zero", Variant(0), false, 0},
        BoolCase{"seven", Variant(7), true, 0}, BoolCase{"negative", Variant(-1), true, 0},
        BoolCase{"half", Variant(0.5), true, 0}, BoolCase{"int16", Variant(int16_t{0}), false, 0},
        BoolCase{"true", Variant(true), true, 0}, BoolCase{"false", Variant(false), false, 0},
        BoolCase{"lowerfalse", Variant("false"), false, 0},
        BoolCase{"upperTRUE", Variant("TRUE"), true, 0},
        BoolCase{"mixed", Variant("tRuE"), true, 0}, BoolCase{"numeric1", Variant("1"), true, 0},
        BoolCase{"numeric0", Variant(" 0 "), false, 0},
        BoolCase{"decimal", Variant("0.0"), false, 0}, BoolCase{"hex", Variant("&H10"), true, 0},
        BoolCase{"yes", Variant("yes"), std::nullopt, err::kTypeMismatch},
        BoolCase{"spacedTrue", Variant(" TRUE "), std::nullopt, err::kTypeMismatch},
        BoolCase{"emptyText", Variant(""), std::nullopt, err::kTypeMismatch},
        BoolCase{"null", Variant::Null(), std::nullopt, err::kInvalidUseOfNull},
        BoolCase{"missing", Variant::Missing(), std::nullopt, err::kTypeMismatch},
        BoolCase{"object", Variant::Object(), std::nullopt, err::kTypeMismatch}),
    [](const auto& tp) { return std::string(tp.param.name); });

struct LongCase {
    const char* name;
    Variant input;
    std::optional<int32_t> expected;
    int32_t error;
};

void PrintTo(const LongCase& c, std::ostream* os) {
    *os << c.name;
}

class ToLongTest : public ::testing::TestWithParam<LongCase> {};

TEST_P(ToLongTest, Converts) {
    const LongCase& c = GetParam();
    if (c.expected) {
        EXPECT_EQ(c.input.ToLong(), *c.expected);
    } else {
        try {
            (void)c.input.ToLong();
            FAIL() << "expected error " << c.error;
        } catch (const VbError& e) {
            EXPECT_EQ(e.Number(), c.error);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToLongTest,
    ::testing::Values(
        LongCase{"empty", Variant(), 0, 0}, LongCase{"long", Variant(42), 42, 0},
        LongCase{"trueIsMinusOne", Variant(true), -1, 0}, LongCase{"halfDown", Variant(2.5), 2, 0},
        LongCase{"halfUp", Variant(3.5), 4, 0}, LongCase{"negHalf", Variant(-2.5), -2, 0},
        LongCase{"text", Variant("17"), 17, 0}, LongCase{"textHalf", Variant("0.5"), 0, 0},
        LongCase{"textOneHalf", Variant("1.5"), 2, 0}, LongCase{"spaces", Variant("  12  "), 12, 0},
        LongCase{"exponent", Variant("1e3"), 1000, 0},
        LongCase{"max", Variant("2147483647"), 2147483647, 0},
        LongCase{"min", Variant(-2147483648.0), INT32_MIN, 0},
        LongCase{"hexMinusOne", Variant("&HFFFFFFFF"), -1, 0},
        LongCase{"overflow", Variant("2147483648"), std::nullopt, err::kOverflow},
        LongCase{"overflowDouble", Variant(1e10), std::nullopt, err::kOverflow},
        LongCase{"roundsIntoOverflow", Variant(2147483647.5), std::nullopt, err::kOverflow},
        LongCase{"hugeText", Variant("1e999"), std::nullopt, err::kOverflow},
        LongCase{"word", Variant("abc"), std::nullopt, err::kTypeMismatch},
        LongCase{"trailingJunk", Variant("12abc"), std::nullopt, err::kTypeMismatch},
        LongCase{"twoDots", Variant("1.2.3"), std::nullopt, err::kTypeMismatch},
        LongCase{"bareSign", Variant("-"), std::nullopt, err::kTypeMismatch},
        LongCase{"null", Variant::Null(), std::nullopt, err::kInvalidUseOfNull},
        LongCase{"array", Variant::Array(), std::nullopt, err::kTypeMismatch}),
    [](const auto& tp) { return std::string(tp.param.name); });

struct TextCase {
    const char* name;
    Variant input;
    std::optional<std::string> expected;
    int32_t error;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class ToTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(ToTextTest, Converts) {
    const TextCase& c = GetParam();
    if (c.expected) {
        EXPECT_EQ(c.input.ToText(), *c.expected);
    } else {
        try {
            (void)c.input.ToText();
            FAIL() << "expected error " << c.error;
        } catch (const VbError& e) {
            EXPECT_EQ(e.Number(), c.error);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToTextTest,
    ::testing::Values(TextCase{"empty", Variant(), "", 0}, TextCase{"long", Variant(-12), "-12", 0},
                      TextCase{"int16", Variant(int16_t{7}), "7", 0},
                      TextCase{"double", Variant(1.5), "1.5", 0},
                      TextCase{"wholeDouble", Variant(3.0), "3", 0},
                      TextCase{"bigDouble", Variant(1e20), "1E+20", 0},
                      TextCase{"true", Variant(true), "True", 0},
                      TextCase{"false", Variant(false), "False", 0},
                      TextCase{"string", Variant(" a b "), " a b ", 0},
                      TextCase{"null", Variant::Null(), std::nullopt, err::kInvalidUseOfNull},
                      TextCase{"missing", Variant::Missing(), std::nullopt, err::kTypeMismatch},
                      TextCase{"object", Variant::Object(), std::nullopt, err::kTypeMismatch}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(VariantTest, BooleanHoldsMinusOne) {
    EXPECT_EQ(Variant(true).Number(), -1.0);
    EXPECT_EQ(Variant(false).Number(), 0.0);
}

TEST(VariantTest, IsNumeric) {
    EXPECT_TRUE(Variant(" 12.5 ").IsNumeric());
    EXPECT_TRUE(Variant("1e999").IsNumeric());
    EXPECT_TRUE(Variant(true).IsNumeric());
    EXPECT_FALSE(Variant("maybe").IsNumeric());
    EXPECT_FALSE(Variant::Null().IsNumeric());
    EXPECT_FALSE(Variant("").IsNumeric());
}

}  // namespace
}  // namespace folioray
