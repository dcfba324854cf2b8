#include <gtest/gtest.h>

#include "imaging/Surface.h"
#include "tests/imaging/ImagingTestUtil.h"

namespace folioray::gdi {
namespace {

using test::Bgr;
using test::MakePicture;
using test::PixelOf;

TEST(SurfaceTest, ClippingKeepsEveryWriteInsideTheBitmaps) {
    Picture src = MakePicture(3, 3, [](int, int) { return Bgr{9, 9, 9}; });
    Picture dst = MakePicture(
        3, 3,
        [](int, int) {
            return Bgr{0, 0, 0};
        },
        0x5A);
    {
        PictureDC s(src);
        PictureDC d(dst);
        const int32_t big = INT32_MAX;
        EXPECT_TRUE(BitBlt(d.hdc(), -big, -big, big, big, s.hdc(), 0, 0, SRCCOPY));
        EXPECT_TRUE(BitBlt(d.hdc(), 2, 2, big, big, s.hdc(), 0, 0, SRCCOPY));
        EXPECT_TRUE(BitBlt(d.hdc(), 0, 0, 3, 3, s.hdc(), -2, -2, SRCCOPY));
        EXPECT_TRUE(BitBlt(d.hdc(), 0, 0, 3, 3, s.hdc(), big, big, SRCCOPY));
    }
    EXPECT_EQ(PixelOf(dst, 2, 2), (Bgr{9, 9, 9}));
    EXPECT_EQ(PixelOf(dst, 1, 1), (Bgr{0, 0, 0}));
    EXPECT_EQ(PixelOf(dst, 2, 1), (Bgr{0, 0, 0}));
    for (int row = 0; row < 3; ++row) {
        for (int k = 9; k < 12; ++k) EXPECT_EQ(dst.bits[row * 12 + k], 0x5A);
    }
}

TEST(SurfaceTest, HandlesFollowTheirOwnersRules) {
    const size_t before = LiveObjects();
    uint8_t* bits = nullptr;
    const intptr_t bmp = CreateDIBSection(2, 2, &bits);
    ASSERT_NE(bmp, 0);
    ASSERT_NE(bits, nullptr);
    const intptr_t dc1 = CreateCompatibleDC(0);
    const intptr_t dc2 = CreateCompatibleDC(0);
    const intptr_t stock = SelectObject(dc1, bmp);
    EXPECT_NE(stock, 0);
    EXPECT_EQ(SelectObject(dc2, bmp), 0);  // one device context at a time
    EXPECT_FALSE(DeleteObject(bmp));       // still selected
    EXPECT_EQ(SelectObject(dc1, stock), bmp);
    EXPECT_TRUE(DeleteObject(bmp));
    EXPECT_FALSE(DeleteObject(bmp));  // handles are not reused
    EXPECT_FALSE(BitBlt(dc1, 0, 0, 1, 1, 0x7FFFF0, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(0, 0, 0, 1, 1, dc2, 0, 0, SRCCOPY));
    EXPECT_TRUE(DeleteDC(dc1));
    EXPECT_TRUE(DeleteDC(dc2));
    EXPECT_FALSE(DeleteDC(dc2));
    EXPECT_EQ(CreateDIBSection(0, 5, &bits), 0);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(LiveObjects(), before);
}

}  // namespace
}  // namespace folioray::gdi
