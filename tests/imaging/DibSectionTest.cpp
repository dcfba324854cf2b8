// CDIBSection: sizes that overflow, rows shared until written, resampling and noise.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <set>

#include "imaging/CDIBSection.h"
#include "imaging/Surface.h"
#include "runtime/VbError.h"
#include "tests/imaging/ImagingTestUtil.h"

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

// Rows shared with a picture (and with the clipboard behind it) are read in place; the
// first thing that may write takes a copy, and the write lands in the copy.
TEST_F(DibSectionTest, SharedRowsAreCopiedBeforeAnyWrite) {
    Picture owned;
    owned.isBitmap = true;
    owned.width = owned.height = 2;
    owned.bits = {1, 2, 3, 1, 2, 3, 0, 0, 1, 2, 3, 1, 2, 3, 0, 0};
    Picture shared = owned;
    shared.bits.clear();
    shared.shared = std::make_shared<const std::vector<uint8_t>>(owned.bits);
    const std::function<void(CDIBSection&)> writes[] = {
        [](CDIBSection& d) { d.DIBSectionBitsPtr()[0] = 0xFF; },
        [](CDIBSection& d) { gdi::BitBlt(d.hdc(), 0, 1, 1, 1, 0, 0, 0, gdi::WHITENESS); },
        [](CDIBSection& d) { d.LoadPictureBlt(0, 0, 0, 1, 1, gdi::WHITENESS); }};
    for (const auto& write : writes) {
        CDIBSection d;
        d.CreateFromPicture(shared);
        ASSERT_EQ(d.Bits(), shared.Pixels()) << "copied while only read";
        write(d);
        EXPECT_EQ(*shared.shared, owned.bits);
        EXPECT_NE(std::vector<uint8_t>(d.Bits(), d.Bits() + owned.bits.size()), owned.bits)
            << "the write was lost";
    }
}

using test::Bgr;
using test::DibPixel;

// Fills every padding byte with a marker that must survive.
void MarkPadding(CDIBSection& d, uint8_t marker) {
    for (int row = 0; row < d.Height(); ++row) {
        for (int k = d.Width() * 3; k < d.BytesPerScanLine(); ++k) {
            d.DIBSectionBitsPtr()[row * d.BytesPerScanLine() + k] = marker;
        }
    }
}

void ExpectPadding(const CDIBSection& d, uint8_t marker) {
    for (int row = 0; row < d.Height(); ++row) {
        for (int k = d.Width() * 3; k < d.BytesPerScanLine(); ++k) {
            EXPECT_EQ(d.DIBSectionBitsPtr()[row * d.BytesPerScanLine() + k], marker)
                << "row " << row << " byte " << k;
        }
    }
}

void SetPixel(CDIBSection& d, int x, int row, Bgr c) {
    uint8_t* p = DibPixel(d, x, row);
    p[0] = c[0];
    p[1] = c[1];
    p[2] = c[2];
}

TEST(ResampleTest, TwoByTwoToFourByFourIsExact) {
    // Stored rows: row 0 is the bottom. A = (0,0), B = (1,0), C = (0,1), D = (1,1).
    CDIBSection src;
    ASSERT_TRUE(src.Create(2, 2));
    SetPixel(src, 0, 0, {0, 10, 255});  // A
    SetPixel(src, 1, 0, {2, 250, 0});   // B
    SetPixel(src, 0, 1, {1, 30, 0});    // C
    SetPixel(src, 1, 1, {3, 90, 255});  // D

    auto dst = src.Resample(4, 4);
    ASSERT_TRUE(dst);
    ASSERT_EQ(dst->Width(), 4);
    ASSERT_EQ(dst->Height(), 4);
    // [row][column], row 0 at the bottom. Scales are 0.25, so fractions run 0, .25, .5,
    // .75; the halves (0.5, 2.5, 57.5, 112.5, 127.5, ...) go to the even neighbour.
    const uint8_t blue[4][4] = {{0, 0, 1, 2}, {0, 0, 1, 2}, {0, 0, 1, 2}, {1, 2, 2, 2}};
    const uint8_t green[4][4] = {
        {10, 70, 130, 190}, {15, 64, 112, 161}, {20, 58, 95, 132}, {25, 51, 78, 104}};
    const uint8_t red[4][4] = {
        {255, 191, 128, 64}, {191, 159, 128, 96}, {128, 128, 128, 128}, {64, 96, 128, 159}};
    for (int row = 0; row < 4; ++row) {
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = DibPixel(*dst, x, row);
            EXPECT_EQ(p[0], blue[row][x]) << "blue at " << x << "," << row;
            EXPECT_EQ(p[1], green[row][x]) << "green at " << x << "," << row;
            EXPECT_EQ(p[2], red[row][x]) << "red at " << x << "," << row;
        }
    }
    auto wide = src.Resample(2, 4);  // height first: only the width changes
    ASSERT_TRUE(wide);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(DibPixel(*wide, x, 0)[1], green[0][x]) << x;
}

TEST(ResampleTest, OnePixelWideOrHighSourcesRaiseARangeError) {
    const std::pair<int, int> sources[] = {{1, 5}, {5, 1}, {1, 1}};
    for (auto [sw, sh] : sources) {
        CDIBSection src;
        ASSERT_TRUE(src.Create(sw, sh));
        const size_t live = gdi::LiveObjects();
        try {
            src.Resample(sh + 2, sw + 2);
            ADD_FAILURE() << sw << "x" << sh << " resampled";
        } catch (const VbError& e) {
            EXPECT_EQ(e.Number(), err::kSubscriptOutOfRange);
        }
        EXPECT_EQ(gdi::LiveObjects(), live) << "the new object must be released";
        EXPECT_TRUE(src.Resample(sh, sw)) << "its own size is a plain copy";
    }
}

// Colour noise leaves blue at zero; grey noise gives equal channels. Either way the
// padding stays and a working generator gives well over 100 distinct levels.
TEST(RandomiseBitsTest, ColourAndGreyNoise) {
    for (bool grey : {false, true}) {
        CDIBSection d;
        ASSERT_TRUE(d.Create(33, 21));
        MarkPadding(d, 0x77);
        d.RandomiseBits(grey);
        std::set<int> greens, reds;
        for (int row = 0; row < d.Height(); ++row) {
            for (int x = 0; x < d.Width(); ++x) {
                const uint8_t* p = DibPixel(d, x, row);
                ASSERT_EQ(p[0], grey ? p[1] : 0) << "grey " << grey;
                if (grey) {
                    ASSERT_EQ(p[1], p[2]);
                }
                greens.insert(p[1]);
                reds.insert(p[2]);
            }
        }
        EXPECT_GT(greens.size(), 100u) << "grey " << grey;
        EXPECT_GT(reds.size(), 100u) << "grey " << grey;
        ExpectPadding(d, 0x77);
    }
    CDIBSection never;
    never.RandomiseBits();  // no pixels and no size: nothing to do
}

}  // namespace
}  // namespace folioray
