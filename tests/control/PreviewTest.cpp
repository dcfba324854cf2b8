// The preview's mouse buttons and activation: the paste menu and the detail view.
#include <gtest/gtest.h>

#include <ostream>

#include "tests/support/HeadlessControl.h"
#include "tests/support/ScanControlPeer.h"

namespace folioray {
namespace {

using test::HeadlessControl;

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
