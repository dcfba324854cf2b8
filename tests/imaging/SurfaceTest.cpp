#include <gtest/gtest.h>

#include "imaging/Surface.h"
#include "tests/imaging/ImagingTestUtil.h"

namespace folioray::gdi {
namespace {

using test::Bgr;
using test::MakePicture;
using test::PixelOf;

struct RopCase {
    const char* name;
    uint32_t rop;
    uint8_t expected;  // for source 0xF0 over destination 0xCC
};

void PrintTo(const RopCase& c, std::ostream* os) {
    *os << c.name;
}

class RasterOpTest : public ::testing::TestWithParam<RopCase> {};

TEST_P(RasterOpTest, CombinesSourceAndDestinationBytes) {
    const Picture src = MakePicture(2, 1, [](int, int) { return Bgr{0xF0, 0xF0, 0xF0}; });
    Picture dst = MakePicture(2, 1, [](int, int) { return Bgr{0xCC, 0xCC, 0xCC}; });
    {
        PictureDC s(src);
        PictureDC d(dst);
        ASSERT_TRUE(BitBlt(d.hdc(), 0, 0, 1, 1, s.hdc(), 0, 0, GetParam().rop));
    }
    const uint8_t e = GetParam().expected;
    EXPECT_EQ(PixelOf(dst, 0, 0), (Bgr{e, e, e}));
    EXPECT_EQ(PixelOf(dst, 1, 0), (Bgr{0xCC, 0xCC, 0xCC}));  // outside the rectangle
}

INSTANTIATE_TEST_SUITE_P(
    Rops, RasterOpTest,
    ::testing::Values(RopCase{"SRCCOPY", SRCCOPY, 0xF0}, RopCase{"SRCPAINT", SRCPAINT, 0xFC},
                      RopCase{"SRCAND", SRCAND, 0xC0}, RopCase{"SRCINVERT", SRCINVERT, 0x3C},
                      RopCase{"SRCERASE", SRCERASE, 0x30}, RopCase{"NOTSRCCOPY", NOTSRCCOPY, 0x0F},
                      RopCase{"NOTSRCERASE", NOTSRCERASE, 0x03},
                      RopCase{"MERGEPAINT", MERGEPAINT, 0xCF},
                      RopCase{"DSTINVERT", DSTINVERT, 0x33}, RopCase{"BLACKNESS", BLACKNESS, 0x00},
                      RopCase{"WHITENESS", WHITENESS, 0xFF}),
    [](const auto& p) { return std::string(p.param.name); });

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
