// The password in a server's text, in any letter case of any script, and short passwords
// that must not cut the rest of the text to pieces.
#include <gtest/gtest.h>

#include <ostream>

#include "runtime/Text.h"

namespace folioray {
namespace {

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
