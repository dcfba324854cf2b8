// The control on the headless host: layout of the children, minimum sizes, SetSize,
// FullScreen and ButtonStyle; scan and text modes and the yes/no switches; the working
// folder and the text store; the preview's mouse buttons.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/HeadlessControl.h"
#include "tests/support/ScanControlPeer.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

using test::HeadlessControl;

struct Placement {
    Child child;
    float left, top, width, height;
};

void ExpectPlaced(const HeadlessControl& hc, const std::vector<Placement>& expected) {
    for (const Placement& p : expected) {
        const ChildControl& k = hc[p.child];
        SCOPED_TRACE(k.name);
        EXPECT_FLOAT_EQ(k.left, p.left);
        EXPECT_FLOAT_EQ(k.top, p.top);
        EXPECT_FLOAT_EQ(k.width, p.width);
        EXPECT_FLOAT_EQ(k.height, p.height);
    }
}

std::vector<bool> Visibility(const HeadlessControl& hc) {
    std::vector<bool> v;
    for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
        v.push_back(hc[static_cast<Child>(i)].visible);
    }
    return v;
}

TEST(LayoutTest, WorkedExampleAtFifteenTwipsPerPixel) {
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    ExpectPlaced(hc, {
                         {Child::Command1, 5130, 0, 855, 255},
                         {Child::Command4, 5130, 360, 855, 255},
                         {Child::Command2, 5130, 720, 855, 255},
                         {Child::Command5, 5130, 1080, 855, 255},
                         {Child::Command6, 5130, 1440, 855, 255},
                         {Child::Icon4, 5130, 0, 345, 330},
                         {Child::Icon1, 5557.5f, 0, 345, 330},
                         {Child::Icon2, 5130, 363, 345, 330},
                         {Child::Icon5, 5557.5f, 363, 345, 330},
                         {Child::Icon6, 5557.5f, 726, 345, 330},
                         {Child::Image1, 0, 0, 4980, 2970},
                         {Child::Text2, 0, 0, 4980, 2970},
                         {Child::PB, 0, 2850, 4980, 135},
                         {Child::Text1, 1822.5f, 1342.5f, 1335, 285},
                     });
    EXPECT_FLOAT_EQ(hc[Child::PB].value, 100);
    EXPECT_EQ(hc.host.extentWidth, 0);  // above the minimum: nothing asked of the container
}

struct MinimumCase {
    const char* name;
    int32_t style;
    float width, height;
    float expectWidth, expectHeight;
    friend void PrintTo(const MinimumCase& c, std::ostream* os) { *os << c.name; }
};

class MinimumSizeTest : public ::testing::TestWithParam<MinimumCase> {};

TEST_P(MinimumSizeTest, ResizingBelowTheMinimumRestoresIt) {
    const MinimumCase& c = GetParam();
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    hc->ButtonStyle(c.style);
    hc->Resize(c.width, c.height);
    EXPECT_FLOAT_EQ(hc->Width(), c.expectWidth);
    EXPECT_FLOAT_EQ(hc->Height(), c.expectHeight);
    if (c.expectWidth != c.width || c.expectHeight != c.height) {
        // The container was asked for the corrected size.
        EXPECT_FLOAT_EQ(hc.host.extentWidth, c.expectWidth);
        EXPECT_FLOAT_EQ(hc.host.extentHeight, c.expectHeight);
    }
    // The rest of the layout used the corrected size.
    EXPECT_FLOAT_EQ(hc[Child::Command1].left, c.expectWidth - 855 - 15);
    EXPECT_FLOAT_EQ(hc[Child::PB].top, c.expectHeight - 135 - 15);
}

INSTANTIATE_TEST_SUITE_P(Styles, MinimumSizeTest,
                         ::testing::Values(MinimumCase{"PictureButtonsTooSmall", 0, 1000, 500, 1820,
                                                       1095},
                                           MinimumCase{"OnlyTooLow", 1, 9000, 10, 9000, 1820},
                                           MinimumCase{"Negative", 0, -50, -50, 1820, 1095}),
                         [](const auto& tp) { return std::string(tp.param.name); });

// A container that refuses the size it is asked for and keeps the old one.
class RefusingHost : public HeadlessHost {
  public:
    ScanControl* control = nullptr;
    int asked = 0;
    void ExtentChanged(float w, float h) override {
        HeadlessHost::ExtentChanged(w, h);
        ++asked;
        if (control) control->Resize(1000, 500);
    }
};

TEST(LayoutTest, AContainerThatRefusesTheMinimumDoesNotHangTheLayout) {
    RefusingHost host;
    Ports ports;
    ports.host = &host;
    ScanControl control(ports);
    host.control = &control;
    control.Resize(1000, 500);
    // Asked once per side, then laid out in the size the container kept.
    EXPECT_EQ(host.asked, 2);
    EXPECT_FLOAT_EQ(control.Children()[Child::Command1].left, 1000 - 855 - 15);
    EXPECT_FLOAT_EQ(control.Children()[Child::PB].top, 500 - 135 - 15);
}

struct SetSizeCase {
    const char* name;
    float tpx, tpy;
    int32_t style;
    int32_t x, y;
    std::optional<std::pair<float, float>> expect;  // nothing: the size is unchanged
    friend void PrintTo(const SetSizeCase& c, std::ostream* os) { *os << c.name; }
};

class SetSizeTest : public ::testing::TestWithParam<SetSizeCase> {};

TEST_P(SetSizeTest, GivesTheRoundedSizeOrLeavesItOnOverflow) {
    const SetSizeCase& c = GetParam();
    HeadlessControl hc;
    hc.host.tpx = c.tpx;
    hc.host.tpy = c.tpy;
    hc->Resize(6000, 3000);
    hc->ButtonStyle(c.style);
    int32_t err = 7;
    hc->Image1_PreviewError(err, 0);
    hc->SetSize(c.x, c.y);
    if (c.expect) {
        EXPECT_FLOAT_EQ(hc->Width(), c.expect->first);
        EXPECT_FLOAT_EQ(hc->Height(), c.expect->second);
        EXPECT_FLOAT_EQ(hc.host.extentWidth, c.expect->first);
        EXPECT_FLOAT_EQ(hc.host.extentHeight, c.expect->second);
    } else {
        EXPECT_FLOAT_EQ(hc->Width(), 6000);
        EXPECT_FLOAT_EQ(hc->Height(), 3000);
    }
    EXPECT_FALSE(hc->Err().IsSet());  // SetSize starts by clearing the pending error
}

using WH = std::pair<float, float>;
INSTANTIATE_TEST_SUITE_P(
    Cases, SetSizeTest,
    ::testing::Values(SetSizeCase{"ZeroGivesPictureMinimum", 15, 15, 0, 0, 0, WH{1820, 1095}},
                      SetSizeCase{"PushButtons200x100", 15, 15, 1, 200, 100, WH{3000, 1820}},
                      // 147 x 12.5 = 1837.5: halves go to the even neighbour.
                      SetSizeCase{"HalvesRoundToEvenUp", 12.5f, 12.5f, 0, 147, 99, WH{1838, 1238}},
                      SetSizeCase{"WidthOverflows", 15, 15, 0, 143165577, 100, std::nullopt},
                      SetSizeCase{"Int32Extremes", 15, 15, 0, INT32_MIN, INT32_MAX, std::nullopt}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(LayoutTest, FullScreenCoversTheControlAndLiesInFrontOfEverything) {
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    const auto before = Visibility(hc);
    hc->FullScreen(5);
    EXPECT_EQ(hc->FullScreen(), 1);
    ExpectPlaced(hc, {
                         {Child::Image1, 0, 0, 6000, 3000},
                         // The overlays keep the normal rectangle behind the preview.
                         {Child::Text2, 0, 0, 4980, 2970},
                         {Child::PB, 0, 2850, 4980, 135},
                         {Child::Text1, 2332.5f, 1357.5f, 1335, 285},
                     });
    const ChildControls& kids = hc->Children();
    EXPECT_EQ(kids.ZOrder().back(), Child::Image1);
    for (Child c : {Child::Text2, Child::Text1, Child::PB, Child::Command1, Child::Icon1}) {
        EXPECT_TRUE(kids.IsAbove(Child::Image1, c)) << kids[c].name;
    }

    // A resize in full-screen mode keeps the preview on the whole control.
    hc->Resize(7000, 4000);
    ExpectPlaced(hc, {{Child::Image1, 0, 0, 7000, 4000}});

    hc->FullScreen(0);
    EXPECT_EQ(hc->FullScreen(), 0);
    ExpectPlaced(hc, {{Child::Image1, 0, 0, 5980, 3970}});
    EXPECT_TRUE(kids.IsAbove(Child::Text1, Child::PB));
    EXPECT_TRUE(kids.IsAbove(Child::Text2, Child::Image1));
    EXPECT_EQ(Visibility(hc), before);  // layout never shows or hides
}

TEST(LayoutTest, ButtonStyleSetsTheMinimumAndNeverShrinks) {
    HeadlessControl hc;
    hc->Resize(1820, 1095);
    hc->ButtonStyle(1);
    EXPECT_FLOAT_EQ(hc->Width(), 2565);
    EXPECT_FLOAT_EQ(hc->Height(), 1820);
    hc->ButtonStyle(0);
    EXPECT_FLOAT_EQ(hc->Width(), 2565);
    EXPECT_FLOAT_EQ(hc->Height(), 1820);
    hc->Resize(100, 100);
    EXPECT_FLOAT_EQ(hc->Width(), 1820);
    EXPECT_FLOAT_EQ(hc->Height(), 1095);
}

// ---- Scan and text modes, the mode button and the yes/no switches.

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

// ---- The working folder's write test and the text-mode store.

using test::TempDir;

struct FolderCase {
    const char* name;
    std::string (*value)(const TempDir&);
    bool accepted;
    friend void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }
};

class FilePathTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FilePathTest, AcceptsOnlyWritableFolders) {
    const FolderCase& c = GetParam();
    TempDir dir;
    test::WriteFile(dir / "plain", "a file, not a folder");
    HeadlessControl hc;
    const std::string before = hc->FilePath();
    hc->FilePath(c.value(dir));
    if (c.accepted) {
        EXPECT_EQ(hc->FilePath(), dir.path() + "/");
    } else {
        EXPECT_EQ(hc->FilePath(), before);
    }
    EXPECT_FALSE(test::Exists(dir / "scantest.txt"));  // the test file never stays behind
    EXPECT_TRUE(hc.host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, FilePathTest,
    ::testing::Values(
        FolderCase{"Plain", [](const TempDir& d) { return d.path(); }, true},
        FolderCase{"SpacesAround", [](const TempDir& d) { return "  " + d.path() + "   "; }, true},
        FolderCase{"Empty", [](const TempDir&) { return std::string(); }, false},
        FolderCase{"Missing", [](const TempDir& d) { return d / "not-there"; }, false},
        FolderCase{"UnderARegularFile", [](const TempDir& d) { return d / "plain/sub"; }, false}),
    [](const auto& tp) { return std::string(tp.param.name); });

class TextStoreTest : public ::testing::Test {
  protected:
    TempDir dir;
    HeadlessControl hc;
    std::vector<std::string> events;

    void SetUp() override {
        hc->FilePath(dir.path());
        ASSERT_EQ(hc->FilePath(), dir.path() + "/");
        hc->ControlMode(1);
        hc->ScanComplete = [this](std::string& name) { events.push_back(name); };
    }
    std::string TextFile() const { return dir / "scanx.txt"; }
};

TEST_F(TextStoreTest, WritesTheTextWithCrLfAndRaisesTheEvent) {
    hc->SetEditorText("first line\nsecond line\r\nthird");
    hc->StartScan();
    EXPECT_EQ(test::ReadFile(TextFile()), "first line\r\nsecond line\r\nthird\r\n");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], TextFile());
    EXPECT_EQ(hc->CurrentName(), TextFile());
    EXPECT_EQ(hc.host.focused, "Text2");
    EXPECT_EQ(hc->ControlMode(), 1);  // the store leaves mode and text as they are
    EXPECT_EQ(hc[Child::Text2].caption, "first line\nsecond line\r\nthird");
}

TEST_F(TextStoreTest, ALinkPlantedAtTheTextFileIsNotFollowed) {
    const std::string target = dir / "victim";
    test::WriteFile(target, "precious");
    ASSERT_EQ(::symlink(target.c_str(), TextFile().c_str()), 0);
    hc->SetEditorText("new");
    hc->StartScan();
    EXPECT_EQ(test::ReadFile(target), "precious");
    EXPECT_EQ(test::ReadFile(TextFile()), "new\r\n");
}

// ---- The preview's mouse buttons and activation: the paste menu and the detail view.

struct ClickCase {
    const char* name;
    int16_t mask;
    bool withImage;
    bool menu;
    bool detail;
    friend void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }
};

class PreviewClickTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(PreviewClickTest, RightButtonMenuLeftButtonDetailView) {
    const ClickCase& c = GetParam();
    HeadlessControl hc;
    hc->Resize(6000, 3000);
    if (c.withImage) ScanControlTestPeer::SetAcquiredImage(*hc, 640, 480);
    int16_t mask = c.mask;
    hc->Image1_PreviewMouseButton(mask, 0, 120, 240);
    EXPECT_EQ(hc.host.popups.size(), c.menu ? 1u : 0u);
    if (c.menu) {
        EXPECT_EQ(hc.host.popups.front(), "MenuPaste");
    }
    EXPECT_EQ(hc.host.detailViews, c.detail ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Masks, PreviewClickTest,
                         ::testing::Values(ClickCase{"RightBeforeImage", 2, false, true, false},
                                           ClickCase{"BothGiveTheMenu", 3, true, true, false},
                                           ClickCase{"LeftBeforeImageOpensNothing", 1, false, false,
                                                     false},
                                           ClickCase{"LeftWithImage", 1, true, false, true},
                                           ClickCase{"LeftAndMiddle", 5, true, false, true}),
                         [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace
}  // namespace folioray
