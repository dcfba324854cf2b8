#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "imaging/CDIBSection.h"
#include "imaging/PictureDib.h"
#include "imaging/Surface.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/headless/MemoryClipboard.h"
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

// The header's every byte is checked where it leaves the program (the clipboard test).
TEST_F(DibSectionTest, CreateSelectsABitmapOfZeroedPixels) {
    CDIBSection d;
    ASSERT_TRUE(d.Create(5, 3));
    EXPECT_EQ(d.Header().biSizeImage, 48);

    EXPECT_NE(d.hdc(), 0);
    EXPECT_NE(d.hDib(), 0);
    EXPECT_NE(d.hdc(), d.hDib());
    EXPECT_EQ(gdi::GetCurrentBitmap(d.hdc()), d.hDib());
    ASSERT_NE(d.DIBSectionBitsPtr(), nullptr);
    for (int i = 0; i < 48; ++i) EXPECT_EQ(d.DIBSectionBitsPtr()[i], 0) << i;
}

TEST_F(DibSectionTest, BytesPerScanLineRoundsRowsUpToFourBytes) {
    const std::pair<int32_t, int32_t> cases[] = {{1, 4},       {2, 8},      {3, 12}, {4, 12},
                                                 {5, 16},      {6, 20},     {7, 24}, {8, 24},
                                                 {2480, 7440}, {2481, 7444}};
    for (auto [width, bytes] : cases) {
        CDIBSection d;
        ASSERT_TRUE(d.Create(width, 2));
        EXPECT_EQ(d.BytesPerScanLine(), bytes) << "width " << width;
        EXPECT_EQ(d.Header().biSizeImage, 2 * bytes);
    }
}

TEST_F(DibSectionTest, RefusedSizesLeaveTheObjectEmptyButReportTheRequest) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 10}, {-3, 10}, {10, 0}, {10, -1}, {0, 0}};
    for (auto [w, h] : cases) {
        CDIBSection d;
        ASSERT_TRUE(d.Create(4, 4));
        EXPECT_FALSE(d.Create(w, h)) << w << "x" << h;
        EXPECT_EQ(d.Width(), w);
        EXPECT_EQ(d.Height(), h);
        ExpectEmpty(d);
    }
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

TEST_F(DibSectionTest, ImagesAboveTheSizeCapAreRefusedCleanly) {
    CDIBSection d;
    // 20000 x 20000 fits in 32 bits (1.2e9 bytes) but is over the cap.
    EXPECT_FALSE(d.Create(20000, 20000));
    EXPECT_EQ(d.Header().biSizeImage, 1200000000);
    ExpectEmpty(d);
}

TEST_F(DibSectionTest, CreateReplacesAndClearUpReleasesEverything) {
    {
        CDIBSection d;
        ASSERT_TRUE(d.Create(4, 4));
        const intptr_t firstDib = d.hDib();
        ASSERT_TRUE(d.Create(8, 2));
        EXPECT_NE(d.hDib(), firstDib);
        EXPECT_EQ(gdi::LiveObjects(), baseline_ + 2);  // one device context, one bitmap
        d.ClearUp();
        ExpectEmpty(d);
        EXPECT_EQ(d.Width(), 8);  // the header stays
        EXPECT_EQ(d.Height(), 2);
        d.ClearUp();
        ExpectEmpty(d);
        ASSERT_TRUE(d.Create(3, 3));
    }  // destruction releases the last one
    CDIBSection never;
    never.ClearUp();
    ExpectEmpty(never);
}

TEST_F(DibSectionTest, CreateDibHandsOutABitmapTheObjectStillReleases) {
    CDIBSection d;
    intptr_t extra = 0;
    ASSERT_TRUE(d.CreateDIB(0, 3, 3, extra));
    EXPECT_NE(extra, 0);
    EXPECT_EQ(d.hdc(), 0);  // not selected anywhere
    intptr_t refused = 123;
    EXPECT_FALSE(d.CreateDIB(0, -1, 3, refused));
    EXPECT_EQ(refused, 0);
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

TEST_F(DibSectionTest, CreateFromPictureOfANonBitmapLeavesTheObjectEmpty) {
    Picture notBitmap;
    notBitmap.width = 7;
    notBitmap.height = 7;
    Picture shortBits = MakePicture(4, 4, [](int, int) { return Bgr{1, 2, 3}; });
    shortBits.bits.resize(shortBits.bits.size() - 1);
    Picture negative = MakePicture(2, 2, [](int, int) { return Bgr{1, 2, 3}; });
    negative.height = -2;

    for (const Picture* p : {&notBitmap, &shortBits, &negative}) {
        CDIBSection d;
        ASSERT_TRUE(d.Create(5, 5));
        EXPECT_TRUE(d.CreateFromPicture(*p).IsEmpty());
        ExpectEmpty(d);
        EXPECT_EQ(d.Width(), 0);
        EXPECT_EQ(d.Height(), 0);
    }
}

TEST_F(DibSectionTest, LoadPictureBltTakesTheTopLeftRegionOfTheSource) {
    // 4 x 3 source; each pixel names its own position.
    Picture pic = MakePicture(4, 3, [](int x, int y) {
        return Bgr{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 77};
    });
    gdi::PictureDC src(pic);
    ASSERT_NE(src.hdc(), 0);

    for (int32_t whole : {-1, -5}) {
        CDIBSection d;
        ASSERT_TRUE(d.Create(2, 2));
        d.LoadPictureBlt(src.hdc(), 0, 0, whole, whole);
        EXPECT_EQ(DibPixelTop(d, 0, 0), (Bgr{0, 0, 77}));
        EXPECT_EQ(DibPixelTop(d, 1, 0), (Bgr{1, 0, 77}));
        EXPECT_EQ(DibPixelTop(d, 0, 1), (Bgr{0, 1, 77}));
        EXPECT_EQ(DibPixelTop(d, 1, 1), (Bgr{1, 1, 77}));
    }

    CDIBSection d;
    ASSERT_TRUE(d.Create(2, 2));
    d.LoadPictureBlt(src.hdc(), 2, 1, 1, 1);
    EXPECT_EQ(DibPixelTop(d, 0, 0), (Bgr{2, 1, 77}));
    EXPECT_EQ(DibPixelTop(d, 1, 0), (Bgr{0, 0, 0}));
    EXPECT_EQ(DibPixelTop(d, 0, 1), (Bgr{0, 0, 0}));
}

TEST_F(DibSectionTest, PaintPicturePlacesTheSectionOnAPictureSurface) {
    Picture dibSource = MakePicture(2, 2, [](int x, int y) {
        return Bgr{static_cast<uint8_t>(50 + x), static_cast<uint8_t>(60 + y), 9};
    });
    CDIBSection d;
    d.CreateFromPicture(dibSource);
    const auto grey = [](int, int) { return Bgr{1, 1, 1}; };
    Picture canvas = MakePicture(5, 4, grey, 0xAB);  // one padding byte per row
    {
        gdi::PictureDC dc(canvas);
        d.PaintPicture(dc.hdc(), 1, 2);
        // Partly off the canvas: the part that fits is drawn, the rest is dropped.
        d.PaintPicture(dc.hdc(), 3, -1, -1, -1, 0, 0);
        d.PaintPicture(dc.hdc(), 4, 4);  // entirely below the canvas
    }
    EXPECT_EQ(test::PixelOf(canvas, 1, 2), (Bgr{50, 60, 9}));
    EXPECT_EQ(test::PixelOf(canvas, 2, 2), (Bgr{51, 60, 9}));
    EXPECT_EQ(test::PixelOf(canvas, 1, 3), (Bgr{50, 61, 9}));
    EXPECT_EQ(test::PixelOf(canvas, 2, 3), (Bgr{51, 61, 9}));
    EXPECT_EQ(test::PixelOf(canvas, 3, 0), (Bgr{50, 61, 9}));
    EXPECT_EQ(test::PixelOf(canvas, 4, 0), (Bgr{51, 61, 9}));
    EXPECT_EQ(test::PixelOf(canvas, 0, 0), (Bgr{1, 1, 1}));
    EXPECT_EQ(test::PixelOf(canvas, 3, 3), (Bgr{1, 1, 1}));
    EXPECT_EQ(test::PixelOf(canvas, 4, 3), (Bgr{1, 1, 1}));
    for (int row = 0; row < 4; ++row) EXPECT_EQ(canvas.bits[row * 16 + 15], 0xAB);
}

TEST_F(DibSectionTest, CopyToClipboardAsDibShowsTheMessageAndFails) {
    HeadlessHost host;
    MemoryClipboard clipboard;
    CDIBSection d(&clipboard, &host);
    ASSERT_TRUE(d.Create(2, 2));
    EXPECT_FALSE(d.CopyToClipboard());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].prompt,
              "I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!");
    EXPECT_EQ(host.messages[0].icon, MsgBoxIcon::None);
    EXPECT_FALSE(clipboard.GetDib().has_value());
    EXPECT_EQ(clipboard.clears, 0);
}

TEST_F(DibSectionTest, CopyToClipboardAsBitmapPutsThePictureThere) {
    HeadlessHost host;
    MemoryClipboard clipboard;
    clipboard.SetText("earlier");
    CDIBSection d(&clipboard, &host);
    d.CreateFromPicture(MakePicture(3, 2, [](int x, int y) {
        return Bgr{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 200};
    }));
    ASSERT_TRUE(d.CopyToClipboard(false));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(clipboard.GetText().has_value());  // emptied first
    auto dib = clipboard.GetDib();
    ASSERT_TRUE(dib.has_value());
    ASSERT_EQ(dib->size(), 40u + 24u);
    const uint8_t header[40] = {40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(dib->data(), header, 40), 0);
    EXPECT_EQ(*dib, MakeDib(ToPicture(d)));
    // Bottom row first: (0, top row 1) is the first pixel after the header.
    EXPECT_EQ((*dib)[40 + 1], 1);
    EXPECT_EQ((*dib)[40 + 12 + 1], 0);
}

class RefusingClipboard : public MemoryClipboard {
  public:
    void Clear() override { throw VbError(err::kCantOpenClipboard); }
};

TEST_F(DibSectionTest, CopyToClipboardFailsQuietlyWhenItCannotBeDone) {
    RefusingClipboard busy;
    CDIBSection onBusy(&busy);
    ASSERT_TRUE(onBusy.Create(2, 2));
    EXPECT_FALSE(onBusy.CopyToClipboard(false));

    CDIBSection noPorts;
    ASSERT_TRUE(noPorts.Create(2, 2));
    EXPECT_FALSE(noPorts.CopyToClipboard(false));
    EXPECT_FALSE(noPorts.CopyToClipboard(true));

    // An object without pixels does not put a blank picture on the clipboard.
    MemoryClipboard clipboard;
    CDIBSection empty(&clipboard);
    ASSERT_TRUE(empty.Create(4, 4));
    empty.ClearUp();
    EXPECT_FALSE(empty.CopyToClipboard(false));
    EXPECT_FALSE(clipboard.GetDib().has_value());
}

TEST_F(DibSectionTest, MakeDibRefusesWhatIsNotAWellFormedBitmap) {
    EXPECT_TRUE(MakeDib(Picture{}).empty());
    Picture shortBits = MakePicture(3, 3, [](int, int) { return Bgr{}; });
    shortBits.bits.pop_back();
    EXPECT_TRUE(MakeDib(shortBits).empty());
    EXPECT_FALSE(ToPicture(CDIBSection()).isBitmap);

    // Rows of another stride are repacked to 4-byte rows with zero padding.
    const uint8_t tight[] = {1, 2, 3, 4, 5, 6};  // 1 x 2, three bytes per row
    auto dib = MakeDib(1, 2, 3, tight);
    ASSERT_EQ(dib.size(), 48u);
    const uint8_t pixels[] = {1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(std::memcmp(dib.data() + 40, pixels, 8), 0);
}

}  // namespace
}  // namespace folioray
