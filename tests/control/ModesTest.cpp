// Scan and text modes, the mode button, ShowModeButton and SaveAsPDF, and the picture
// buttons forwarding to their push buttons.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/HeadlessControl.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

using test::HeadlessControl;

// Every child's state as text, to see that a write changed nothing.
std::string Dump(const ScanControl& c) {
    std::ostringstream s;
    for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
        const ChildControl& k = c.Children()[static_cast<Child>(i)];
        s << k.name << '|' << k.caption << '|' << k.toolTipText << '|' << k.visible << '|'
          << k.enabled << '|' << k.picture << '|' << k.left << ',' << k.top << ',' << k.width << ','
          << k.height << '\n';
    }
    return s.str();
}

void ExpectScanModeTexts(const HeadlessControl& hc) {
    EXPECT_EQ(hc[Child::Command1].caption, "&Scan");
    EXPECT_EQ(hc[Child::Command1].toolTipText, "Scan a new Image");
    EXPECT_EQ(hc[Child::Icon1].toolTipText, "Scan a new Image");
    EXPECT_EQ(hc[Child::Icon1].picture, hc[Child::Icon1a].picture);
    EXPECT_EQ(hc[Child::Command6].toolTipText, "Switch to TextBox Mode");
    EXPECT_EQ(hc[Child::Icon6].toolTipText, "Switch to TextBox Mode");
    EXPECT_FALSE(hc[Child::Text2].visible);
}

void ExpectTextModeTexts(const HeadlessControl& hc) {
    EXPECT_EQ(hc[Child::Command1].caption, "&Done");
    EXPECT_EQ(hc[Child::Command1].toolTipText, "Dump text to file");
    EXPECT_EQ(hc[Child::Icon1].toolTipText, "Dump text to file");
    EXPECT_EQ(hc[Child::Icon1].picture, hc[Child::Icon1b].picture);
    EXPECT_EQ(hc[Child::Command6].toolTipText, "Switch to Scan Mode");
    EXPECT_EQ(hc[Child::Icon6].toolTipText, "Switch to Scan Mode");
    EXPECT_TRUE(hc[Child::Text2].visible);
}

TEST(ModesTest, CreationTextsStayUntilTheFirstModeWrite) {
    HeadlessControl hc;
    EXPECT_EQ(hc[Child::Command1].caption, "&Scan...");
    EXPECT_EQ(hc[Child::Command1].toolTipText, "Scan a New Image");
    EXPECT_EQ(hc[Child::Icon1].toolTipText, "Scan a new Image...");
    EXPECT_EQ(hc[Child::Icon6].toolTipText, "Switch to Text Mode");
    hc->ControlMode(0);
    EXPECT_EQ(hc->ControlMode(), 0);
    ExpectScanModeTexts(hc);
}

TEST(ModesTest, TextModeHidesSourceAndInfoOfEitherStyle) {
    for (int32_t style : {0, 1}) {
        SCOPED_TRACE(style);
        const bool push = style != 0;
        auto kid = [push](Child command, Child icon) { return push ? command : icon; };
        HeadlessControl hc;
        hc->Resize(6000, 3000);
        hc->ButtonStyle(style);
        hc->ControlMode(1);
        EXPECT_EQ(hc->ControlMode(), 1);
        ExpectTextModeTexts(hc);
        EXPECT_FALSE(hc[kid(Child::Command4, Child::Icon4)].visible);
        EXPECT_FALSE(hc[kid(Child::Command2, Child::Icon2)].visible);
        // The Done, About and mode buttons stay; the other style stays hidden.
        EXPECT_TRUE(hc[kid(Child::Command1, Child::Icon1)].visible);
        EXPECT_TRUE(hc[kid(Child::Command5, Child::Icon5)].visible);
        EXPECT_TRUE(hc[kid(Child::Command6, Child::Icon6)].visible);
        EXPECT_FALSE(hc[kid(Child::Icon4, Child::Command4)].visible);

        hc->ControlMode(0);
        ExpectScanModeTexts(hc);
        EXPECT_TRUE(hc[kid(Child::Command4, Child::Icon4)].visible);
        EXPECT_TRUE(hc[kid(Child::Command2, Child::Icon2)].visible);
        EXPECT_FALSE(hc[kid(Child::Icon4, Child::Command4)].visible);
        EXPECT_FALSE(hc[kid(Child::Icon2, Child::Command2)].visible);
    }
}

// Switching the presentation in text mode shows the source and info buttons again.
TEST(ModesTest, ButtonStyleInTextModeShowsSourceAndInfoAgain) {
    for (int32_t to : {1, 0}) {
        HeadlessControl hc;
        hc->Resize(6000, 3000);
        hc->ButtonStyle(1 - to);
        hc->ControlMode(1);
        hc->ButtonStyle(to);
        const Child source = to ? Child::Command4 : Child::Icon4;
        const Child info = to ? Child::Command2 : Child::Icon2;
        EXPECT_TRUE(hc[source].visible) << to;
        EXPECT_TRUE(hc[info].visible) << to;
        EXPECT_EQ(hc->ControlMode(), 1);
        EXPECT_TRUE(hc[Child::Text2].visible);
    }
}

TEST(ModesTest, OtherModeValuesChangeNothing) {
    for (int32_t start : {0, 1}) {
        for (int32_t bad : {2, -1, 100, INT32_MIN}) {
            HeadlessControl hc;
            hc->Resize(6000, 3000);
            hc->ControlMode(start);
            const std::string before = Dump(*hc);
            hc->ControlMode(bad);
            EXPECT_EQ(hc->ControlMode(), start) << bad;
            EXPECT_EQ(Dump(*hc), before) << bad;
        }
    }
}

TEST(ModesTest, ModeButtonTogglesAndTwoClicksReturn) {
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    hc->ControlMode(0);
    const std::string scanMode = Dump(*hc);
    hc->Command6_Click();
    EXPECT_EQ(hc->ControlMode(), 1);
    ExpectTextModeTexts(hc);
    hc->Icon6_Click();  // the picture twin does the same
    EXPECT_EQ(hc->ControlMode(), 0);
    EXPECT_EQ(Dump(*hc), scanMode);
}

TEST(ModesTest, EditorTextSurvivesModeSwitches) {
    HeadlessControl hc;
    hc->ControlMode(1);
    hc->SetEditorText("draft");
    hc->ControlMode(0);
    EXPECT_FALSE(hc[Child::Text2].visible);
    hc->ControlMode(1);
    EXPECT_EQ(hc[Child::Text2].caption, "draft");
}

struct SwitchCase {
    const char* name;
    int32_t style;
    bool startShown;
    Variant value;
    bool command6, icon6;  // expected visibility afterwards
};

void PrintTo(const SwitchCase& c, std::ostream* os) {
    *os << c.name;
}

class ShowModeButtonTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(ShowModeButtonTest, FollowsTheThreeRules) {
    const SwitchCase& c = GetParam();
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    hc->ButtonStyle(c.style);
    if (!c.startShown) hc->ShowModeButton(Variant(false));
    hc->ShowModeButton(c.value);
    EXPECT_EQ(hc[Child::Command6].visible, c.command6);
    EXPECT_EQ(hc[Child::Icon6].visible, c.icon6);
    const Variant read = hc->ShowModeButton();
    EXPECT_EQ(read.type(), Variant::Type::Boolean);
    EXPECT_EQ(read.ToBool(), c.command6 || c.icon6);
}

INSTANTIATE_TEST_SUITE_P(
    PictureButtons, ShowModeButtonTest,
    ::testing::Values(SwitchCase{"LowerCaseFalseHides", 0, true, Variant("false"), false, false},
                      SwitchCase{"SpacedUpperTrueShows", 0, false, Variant(" TRUE "), false, true},
                      SwitchCase{"YesChangesNothingShown", 0, true, Variant("yes"), false, true},
                      SwitchCase{"YesChangesNothingHidden", 0, false, Variant("yes"), false, false},
                      SwitchCase{"ZeroHides", 0, true, Variant(int32_t{0}), false, false},
                      SwitchCase{"SevenShows", 0, false, Variant(int32_t{7}), false, true},
                      SwitchCase{"StringOneShows", 0, false, Variant("1"), false, true},
                      SwitchCase{"MaybeChangesNothing", 0, true, Variant("maybe"), false, true},
                      SwitchCase{"NullChangesNothing", 0, true, Variant::Null(), false, true},
                      SwitchCase{"MissingChangesNothing", 0, false, Variant::Missing(), false,
                                 false},
                      SwitchCase{"ObjectChangesNothing", 0, true, Variant::Object(), false, true},
                      SwitchCase{"EmptyIsFalse", 0, true, Variant(), false, false},
                      SwitchCase{"BooleanTrueShows", 0, false, Variant(true), false, true},
                      SwitchCase{"HexZeroHides", 0, true, Variant("&H0"), false, false},
                      SwitchCase{"HugeNumberShows", 0, false, Variant("1e999"), false, true}),
    [](const auto& tp) { return std::string(tp.param.name); });

// With push buttons a spaced "False" (third rule) hides both mode buttons, the plain
// boolean (first rule) only the current one.
INSTANTIATE_TEST_SUITE_P(
    PushButtons, ShowModeButtonTest,
    ::testing::Values(
        SwitchCase{"BooleanFalseHidesCommand6", 1, true, Variant(false), false, false},
        SwitchCase{"SpacedFalseHidesBoth", 1, true, Variant("  False "), false, false},
        SwitchCase{"SpacedTrueShowsCommand6", 1, false, Variant(" true"), true, false},
        SwitchCase{"SevenShowsCommand6", 1, false, Variant(int32_t{7}), true, false},
        SwitchCase{"MaybeChangesNothing", 1, true, Variant("maybe"), true, false}),
    [](const auto& tp) { return std::string(tp.param.name); });

struct PdfCase {
    const char* name;
    bool start;
    Variant value;
    bool expect;
};

void PrintTo(const PdfCase& c, std::ostream* os) {
    *os << c.name;
}

class SaveAsPdfTest : public ::testing::TestWithParam<PdfCase> {};

TEST_P(SaveAsPdfTest, FollowsTheThreeRulesAndReadsAsBoolean) {
    const PdfCase& c = GetParam();
    HeadlessControl hc;
    hc->SaveAsPDF(Variant(c.start));
    ASSERT_EQ(hc->SaveAsPDF().ToBool(), c.start);
    hc->SaveAsPDF(c.value);
    const Variant read = hc->SaveAsPDF();
    EXPECT_EQ(read.type(), Variant::Type::Boolean);
    EXPECT_EQ(read.ToBool(), c.expect);
    EXPECT_EQ(read.Number(), c.expect ? -1.0 : 0.0);
}

// The switch shares its reading with ShowModeButton (whose table has the other values);
// these are the ones that table cannot show.
INSTANTIATE_TEST_SUITE_P(Cases, SaveAsPdfTest,
                         ::testing::Values(PdfCase{"MaybeKeepsTrue", true, Variant("maybe"), true},
                                           PdfCase{"MaybeKeepsFalse", false, Variant("maybe"),
                                                   false},
                                           PdfCase{"SpacedFalse", true, Variant(" False "), false},
                                           PdfCase{"StringOne", false, Variant("1"), true},
                                           PdfCase{"Fraction", false, Variant(0.25), true},
                                           PdfCase{"EmptyIsFalse", true, Variant(), false}),
                         [](const auto& tp) { return std::string(tp.param.name); });

TEST(ModesTest, PictureButtonsDoWhatTheirPushButtonsDo) {
    test::TempDir dir;
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    hc->FilePath(dir.path());
    hc->ControlMode(1);
    hc->SetEditorText("via icon");
    std::string raised;
    hc->ScanComplete = [&](std::string& name) { raised = name; };
    hc->Icon1_Click();  // Done in text mode
    EXPECT_EQ(raised, dir / "scanx.txt");
    EXPECT_EQ(test::ReadFile(dir / "scanx.txt"), "via icon\r\n");

    hc->Icon2_Click();  // info before any image: a beep
    EXPECT_EQ(hc.host.beeps, 1);
    hc->Command2_Click();
    EXPECT_EQ(hc.host.beeps, 2);

    hc->Icon5_Click();  // about box
    EXPECT_EQ(hc.host.aboutBoxes, 1);
    hc->Command5_Click();
    EXPECT_EQ(hc.host.aboutBoxes, 2);
}

TEST(ModesTest, StatusBoxPassesTheFocusToThePreview) {
    HeadlessControl hc;
    hc->Text1_GotFocus();
    EXPECT_EQ(hc.preview.focusCount, 1);
}

}  // namespace
}  // namespace folioray
