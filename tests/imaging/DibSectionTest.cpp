#include <gtest/gtest.h>

#include <climits>

#include "imaging/CDIBSection.h"
#include "imaging/Surface.h"
#include "runtime/VbError.h"

namespace folioray {
namespace {

class DibSectionTest : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = gdi::LiveObjects(); }
    void TearDown() override { EXPECT_EQ(gdi::LiveObjects(), baseline_) << "handles leaked"; }
    size_t baseline_ = 0;
};

void ExpectEmpty(const CDIBSection& d) {
    EXPECT_EQ(d.hdc(), 0);
    EXPECT_EQ(d.hDib(), 0);
    EXPECT_EQ(d.DIBSectionBitsPtr(), nullptr);
}

TEST_F(DibSectionTest, OverflowingSizesRaiseOverflowWithoutAllocating) {
    // Width * 3 + 3 beyond 32 bits, then a row size that fits but an image that does not.
    const std::pair<int32_t, int32_t> cases[] = {
        {INT32_MAX, 1}, {715827882, 1}, {50000, 50000}, {1000, INT32_MAX}};
    for (auto [w, h] : cases) {
        CDIBSection d;
        try {
            d.Create(w, h);
            ADD_FAILURE() << w << "x" << h << " did not raise";
        } catch (const VbError& e) {
            EXPECT_EQ(e.Number(), err::kOverflow) << w << "x" << h;
        }
        ExpectEmpty(d);
        EXPECT_EQ(d.Width(), w);
    }
    CDIBSection d;
    intptr_t hDib = 0;
    EXPECT_THROW(d.CreateDIB(0, INT32_MAX, 2, hDib), VbError);
    EXPECT_EQ(hDib, 0);
}

}  // namespace
}  // namespace folioray
