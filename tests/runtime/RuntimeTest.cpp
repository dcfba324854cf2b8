#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <ostream>

#include "runtime/FileOps.h"
#include "runtime/Format.h"
#include "runtime/Text.h"
#include "runtime/Variant.h"
#include "runtime/VbError.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

// The text a conversion gives, or "error N" when it fails.
std::string Outcome(const std::function<std::string()>& f) {
    try {
        return f();
    } catch (const VbError& e) {
        return "error " + std::to_string(e.Number());
    }
}

struct ConversionCase {
    const char* name;
    Variant input;
    std::string asBool, asLong, asInteger, asText;
    friend void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }
};

class ScriptValueTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ScriptValueTest, ConvertsAsAScriptWould) {
    const ConversionCase& c = GetParam();
    EXPECT_EQ(Outcome([&] { return std::string(c.input.ToBool() ? "True" : "False"); }), c.asBool);
    EXPECT_EQ(Outcome([&] { return std::to_string(c.input.ToLong()); }), c.asLong);
    EXPECT_EQ(Outcome([&] { return std::to_string(c.input.ToInteger()); }), c.asInteger);
    EXPECT_EQ(Outcome([&] { return c.input.ToText(); }), c.asText);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ScriptValueTest,
    ::testing::Values(
        ConversionCase{"empty", Variant(), "False", "0", "0", ""},
        ConversionCase{"true_is_minus_one", Variant(true), "True", "-1", "-1", "True"},
        ConversionCase{"halves_go_to_even", Variant(2.5), "True", "2", "2", "2.5"},
        ConversionCase{"odd_half_rounds_up", Variant(3.5), "True", "4", "4", "3.5"},
        ConversionCase{"text_in_any_case", Variant("tRuE"), "True", "error 13", "error 13", "tRuE"},
        ConversionCase{"padded_number_text", Variant(" 0 "), "False", "0", "0", " 0 "},
        ConversionCase{"hex_text", Variant("&H10"), "True", "16", "16", "&H10"},
        ConversionCase{"hex_all_ones", Variant("&HFFFFFFFF"), "True", "-1", "-1", "&HFFFFFFFF"},
        ConversionCase{"int16_edge", Variant(32767), "True", "32767", "32767", "32767"},
        ConversionCase{"past_int16", Variant(32768), "True", "32768", "error 6", "32768"},
        ConversionCase{"past_int32", Variant("2147483648"), "True", "error 6", "error 6",
                       "2147483648"},
        ConversionCase{"rounds_into_overflow", Variant(2147483647.5), "True", "error 6", "error 6",
                       "2147483647.5"},
        ConversionCase{"trailing_junk", Variant("12abc"), "error 13", "error 13", "error 13",
                       "12abc"},
        ConversionCase{"big_double", Variant(1e20), "True", "error 6", "error 6", "1E+20"},
        ConversionCase{"null", Variant::Null(), "error 94", "error 94", "error 94", "error 94"},
        ConversionCase{"missing", Variant::Missing(), "error 13", "error 13", "error 13",
                       "error 13"}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(FormatNumberTest, GroupsThousandsAndRoundsHalvesToEven) {
    const std::string comma = ",";
    SetGroupSeparatorOverride(&comma);
    const std::tuple<double, const char*, const char*> cases[] = {
        {123456, "#####0", "123456"},
        {999, "###,###,##0", "999"},
        {1000, "###,###,##0", "1,000"},
        {2147483647, "###,###,###,###,##0", "2,147,483,647"},
        {0.5, "###,###,##0", "0"},
        {1.5, "###,###,##0", "2"},
        {2.5, "##0", "2"},
        {48.828125, "##0", "49"},
        {-1234.4, "###,###,##0", "-1,234"},
    };
    for (const auto& [value, pattern, expected] : cases) {
        EXPECT_EQ(FormatNumber(value, pattern), expected) << value << " with " << pattern;
    }
    SetGroupSeparatorOverride(nullptr);
}

TEST(FileErrorTest, SystemErrorsBecomeTheFileErrorsAScriptKnows) {
    test::TempDir dir;
    EXPECT_EQ(ErrorNumberFromErrno(ENOENT, dir / "missing.txt"), err::kFileNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(ENOENT, dir / "nofolder/x.txt"), err::kPathNotFound);
    EXPECT_EQ(ErrorNumberFromErrno(EACCES), err::kPermissionDenied);
    EXPECT_EQ(ErrorNumberFromErrno(ENOSPC), err::kDiskFull);
}

TEST(FileErrorTest, AFullDiskIsReportedWhenTheFileIsClosed) {
    OutputFile f;
    f.Open("/dev/full");
    f.Print("x");
    EXPECT_EQ(Outcome([&] { return f.Close(), std::string(); }), "error 61");
}

// ---- The password in a server's text, in any letter case of any script, and short passwords
// that must not cut the rest of the text to pieces.

struct MaskCase {
    const char* name;
    std::string text, secret, masked;
    friend void PrintTo(const MaskCase& c, std::ostream* os) { *os << c.name; }
};

class MaskSecretTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskSecretTest, HidesThePasswordOnly) {
    EXPECT_EQ(MaskSecret(GetParam().text, GetParam().secret), GetParam().masked);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MaskSecretTest,
    ::testing::Values(
        MaskCase{"UmlautsInCapitals", "530 PÄSSWÖRD9 refused", "pässwörd9", "530 ******** refused"},
        MaskCase{"GreekInCapitals", "530 user ΚΛΕΙΔΊ", "κλειδί", "530 user ********"},
        MaskCase{"Repeated", "pw-Secret-42/PW-SECRET-42", "pw-Secret-42", "********/********"},
        MaskCase{"ShortInsideWordsKept", "550 Permission denied.", "e", "550 Permission denied."},
        MaskCase{"ShortAsAWordMasked", "530 password e, e.", "e",
                 "530 password ********, ********."},
        MaskCase{"ShortWholeText", "Ä", "ä", "********"},
        MaskCase{"LongInsideAWordMasked", "xxsecretxx", "secret", "xx********xx"},
        MaskCase{"NotUtf8BytesMatchThemselves", "530 a \xff\xfe\xfd b", "\xff\xfe\xfd",
                 "530 a ******** b"},
        MaskCase{"MaskSignNotFromThePassword", "530 *pw*", "*pw*", "530 ########"}),
    [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace
}  // namespace folioray
