// Scan and text modes, the mode button and the yes/no switches.
#include <gtest/gtest.h>

#include <ostream>

#include <sstream>
#include <string>

#include "tests/support/HeadlessControl.h"

namespace folioray {
namespace {

using test::HeadlessControl;

// Every child's state as text, to see that a write changed nothing.
std::string Dump(const ScanControl& c) {
    std::ostringstream s;
    for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
        const ChildControl& k = c.Children()[static_cast<Child>(i)];
        s << k.name << '|' << k.caption << '|' << k.toolTipText << '|' << k.visible << '|'
          << k.enabled << '|' << k.picture << '|' << k.left << ',' << k.top << '\n';
    }
    return s.str();
}

TEST(ModesTest, TextModeSwapsTheTextsAndHidesSourceAndInfoOfEitherStyle) {
    for (int32_t style : {0, 1}) {
        SCOPED_TRACE(style);
        auto kid = [style](Child command, Child icon) { return style ? command : icon; };
        HeadlessControl hc;
        hc->Resize(6000, 3000);
        hc->ButtonStyle(style);
        hc->ControlMode(1);
        EXPECT_EQ(hc[Child::Command1].caption, "&Done");
        EXPECT_EQ(hc[Child::Icon1].toolTipText, "Dump text to file");
        EXPECT_EQ(hc[Child::Icon1].picture, hc[Child::Icon1b].picture);
        EXPECT_EQ(hc[Child::Command6].toolTipText, "Switch to Scan Mode");
        EXPECT_TRUE(hc[Child::Text2].visible);
        EXPECT_FALSE(hc[kid(Child::Command4, Child::Icon4)].visible);
        EXPECT_FALSE(hc[kid(Child::Command2, Child::Icon2)].visible);
        EXPECT_TRUE(hc[kid(Child::Command5, Child::Icon5)].visible);

        hc->ControlMode(0);
        EXPECT_EQ(hc[Child::Command1].caption, "&Scan");
        EXPECT_EQ(hc[Child::Icon6].toolTipText, "Switch to TextBox Mode");
        EXPECT_FALSE(hc[Child::Text2].visible);
        EXPECT_TRUE(hc[kid(Child::Command4, Child::Icon4)].visible);
        EXPECT_FALSE(hc[kid(Child::Icon4, Child::Command4)].visible);
    }
}

TEST(ModesTest, TheModeButtonTogglesAndOtherModeValuesChangeNothing) {
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    hc->ControlMode(0);
    const std::string scanMode = Dump(*hc);
    hc->ControlMode(2);
    hc->ControlMode(-1);
    EXPECT_EQ(Dump(*hc), scanMode);
    hc->Command6_Click();
    EXPECT_EQ(hc->ControlMode(), 1);
    hc->Icon6_Click();
    EXPECT_EQ(Dump(*hc), scanMode);
}

struct SwitchCase {
    const char* name;
    int32_t style;
    bool startShown;
    Variant value;
    bool command6, icon6;  // visibility afterwards
    friend void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name; }
};

class ShowModeButtonTest : public ::testing::TestWithParam<SwitchCase> {};

// A boolean, a number, or the text True/False (in any case and spacing) decides; anything
// else changes nothing. The same reading serves SaveAsPDF.
TEST_P(ShowModeButtonTest, ReadsAScriptValueAsYesOrNo) {
    const SwitchCase& c = GetParam();
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    hc->ButtonStyle(c.style);
    if (!c.startShown) hc->ShowModeButton(Variant(false));
    hc->ShowModeButton(c.value);
    EXPECT_EQ(hc[Child::Command6].visible, c.command6);
    EXPECT_EQ(hc[Child::Icon6].visible, c.icon6);

    hc->SaveAsPDF(Variant(c.startShown));
    hc->SaveAsPDF(c.value);
    const Variant read = hc->SaveAsPDF();
    EXPECT_EQ(read.type(), Variant::Type::Boolean);
    EXPECT_EQ(read.ToBool(), c.command6 || c.icon6) << "SaveAsPDF";
}

INSTANTIATE_TEST_SUITE_P(
    Values, ShowModeButtonTest,
    ::testing::Values(SwitchCase{"lower_case_false", 0, true, Variant("false"), false, false},
                      SwitchCase{"spaced_upper_true", 0, false, Variant(" TRUE "), false, true},
                      SwitchCase{"yes_changes_nothing", 0, true, Variant("yes"), false, true},
                      SwitchCase{"zero", 0, true, Variant(int32_t{0}), false, false},
                      SwitchCase{"string_one", 0, false, Variant("1"), false, true},
                      SwitchCase{"null_changes_nothing", 0, true, Variant::Null(), false, true},
                      SwitchCase{"huge_number", 0, false, Variant("1e999"), false, true},
                      // With push buttons the text False hides both, a boolean only one.
                      SwitchCase{"push_boolean_false", 1, true, Variant(false), false, false},
                      SwitchCase{"push_spaced_false", 1, true, Variant("  False "), false, false},
                      SwitchCase{"push_spaced_true", 1, false, Variant(" true"), true, false}),
    [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace
}  // namespace folioray
