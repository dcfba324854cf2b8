#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "imaging/CDIBSection.h"
#include "imaging/PictureDib.h"
#include "imaging/Surface.h"
#include "runtime/VbError.h"
#include "tests/imaging/ImagingTestUtil.h"

namespace folioray {
namespace {

using test::Bgr;
using test::DibPixelTop;
using test::MakePicture;

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

TEST_F(DibSectionTest, CreateFromPictureCopiesPixelsAndKeepsOrientation) {
    Picture pic = MakePicture(3, 2, [](int x, int y) {
        return Bgr{static_cast<uint8_t>(10 * x + 1), static_cast<uint8_t>(100 + y),
                   static_cast<uint8_t>(200 + x + y)};
    });
    CDIBSection d;
    EXPECT_TRUE(d.CreateFromPicture(pic).IsEmpty());
    ASSERT_EQ(d.Width(), 3);
    ASSERT_EQ(d.Height(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(DibPixelTop(d, x, y), test::PixelOf(pic, x, y));
    }
    // Only pixels travel: the section's own padding stays zero.
    for (int row = 0; row < 2; ++row) {
        for (int k = 9; k < 12; ++k) {
            EXPECT_EQ(d.DIBSectionBitsPtr()[row * 12 + k], 0);
        }
    }
}

}  // namespace
}  // namespace folioray
