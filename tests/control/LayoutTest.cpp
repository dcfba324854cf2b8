// Layout of the children, minimum sizes, SetSize, FullScreen and ButtonStyle.
#include <gtest/gtest.h>

#include <ostream>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/HeadlessControl.h"

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

}  // namespace
}  // namespace folioray
