// Pictures between Qt and the control: DIB bytes, the clipboard, the preview, the drawn
// button pictures, and script values.
#include <gtest/gtest.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <cstring>
#include <set>

#include "control/ScanControl.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtImages.h"
#include "platform/qt/QtPreview.h"
#include "platform/qt/ScanControlWidget.h"
#include "runtime/VbError.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

QImage Sample(int w, int h) {
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            img.setPixelColor(x, y, QColor((x * 40 + y) % 256, (y * 60) % 256, (x * y * 13) % 256));
        }
    }
    return img;
}

bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
        }
    }
    return true;
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// ---- DIB bytes.

TEST(QtImagesDib, WrittenDibIsTwentyFourBitBottomUpWithPaddedRows) {
    const QImage img = Sample(5, 3);  // 15 bytes a row, padded to 16
    const std::vector<uint8_t> dib = DibFromImage(img);
    ASSERT_EQ(dib.size(), 40u + 16u * 3u);
    EXPECT_EQ(U32(dib, 0), 40u);
    EXPECT_EQ(U32(dib, 4), 5u);
    EXPECT_EQ(U32(dib, 8), 3u);
    EXPECT_EQ(dib[14], 24);
    EXPECT_EQ(U32(dib, 16), 0u);
    // The first stored row is the picture's bottom row, blue first.
    const QColor bottomLeft = img.pixelColor(0, 2);
    EXPECT_EQ(dib[40], bottomLeft.blue());
    EXPECT_EQ(dib[41], bottomLeft.green());
    EXPECT_EQ(dib[42], bottomLeft.red());
    EXPECT_TRUE(SamePixels(ImageFromDib(dib), img));
}

// Every DIB layout is the control's reader's test; here a form Qt would not write itself
// (top-down rows) keeps its orientation, and bytes the reader refuses give no picture.
TEST(QtImagesDib, ReadsOtherProgramsDibsAndRefusesBrokenOnes) {
    std::vector<uint8_t> dib = DibFromImage(Sample(2, 2));
    const int32_t topDown = -2;
    std::memcpy(dib.data() + 8, &topDown, 4);
    std::swap_ranges(dib.begin() + 40, dib.begin() + 48, dib.begin() + 48);
    EXPECT_TRUE(SamePixels(ImageFromDib(dib), Sample(2, 2)));

    dib.resize(45);  // pixels cut short
    EXPECT_TRUE(ImageFromDib(dib).isNull());
    EXPECT_TRUE(ImageFromDib({}).isNull());
}

// ---- Pictures.

TEST(QtImagesPicture, RoundTripsOddWidthsThroughTheRowPadding) {
    for (int w : {1, 2, 3, 5, 7}) {
        const QImage img = Sample(w, 4);
        const Picture pic = PictureFromImage(img);
        ASSERT_TRUE(pic.isBitmap);
        EXPECT_EQ(pic.width, w);
        EXPECT_EQ(pic.bits.size(), static_cast<size_t>(pic.Stride()) * 4);
        EXPECT_TRUE(SamePixels(ImageFromPicture(pic), img)) << "width " << w;
    }
    Picture shortBits = PictureFromImage(Sample(4, 4));
    shortBits.bits.resize(10);
    EXPECT_TRUE(ImageFromPicture(shortBits).isNull());
    EXPECT_TRUE(ImageFromPicture(Picture{}).isNull());
    EXPECT_TRUE(PictureFromImage(QImage()).Empty());
}

TEST(QtImagesPicture, TransparentPartsOfACopiedPictureTurnWhite) {
    QImage clear(3, 1, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixelColor(1, 0, QColor(10, 20, 30));
    const Picture pic = PictureFromImage(clear);
    ASSERT_TRUE(pic.isBitmap);
    EXPECT_EQ(pic.bits[0], 255);  // white, not black
    EXPECT_EQ(pic.bits[3], 30);   // blue of the opaque pixel
    EXPECT_EQ(pic.bits[5], 10);
}

TEST(QtImagesPicture, ButtonPicturesAreDistinct23By22Pictures) {
    std::set<qint64> seen;
    for (const char* name : {"scan", "done", "info", "noinfo", "source", "about", "mode"}) {
        const QImage img = DrawButtonPicture(QLatin1String(name));
        EXPECT_EQ(img.size(), QSize(23, 22)) << name;
        EXPECT_EQ(img.depth(), 24) << name;
        std::vector<uint8_t> bits(img.constBits(), img.constBits() + img.sizeInBytes());
        EXPECT_TRUE(seen.insert(qHashBits(bits.data(), bits.size())).second) << name;
    }
    EXPECT_EQ(DrawProductPicture().size(), QSize(90, 62));
}

// ---- Clipboard.

TEST(QtClipboardPort, APictureAnotherProgramCopiedReadsAsADib) {
    QtClipboard board;
    const QImage img = Sample(9, 6);
    QGuiApplication::clipboard()->setImage(img);
    const auto dib = board.GetDib();
    ASSERT_TRUE(dib.has_value());
    EXPECT_TRUE(SamePixels(ImageFromDib(*dib), img));

    // And the control's DIB is offered to other programs as an image.
    board.SetDib(DibFromImage(Sample(4, 4)));
    EXPECT_TRUE(SamePixels(QGuiApplication::clipboard()->image(), Sample(4, 4)));
    EXPECT_THROW(board.SetDib({1, 2, 3}), VbError);
}

TEST(QtClipboardPort, TextRoundTripsAndAnEmptyClipboardHasNeither) {
    QtClipboard board;
    board.SetText(
        "/home/\xC3\xBC"
        "ser/scanx.jpg");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/home/\u00FCser/scanx.jpg"));
    EXPECT_EQ(board.GetText(), std::optional<std::string>("/home/\xC3\xBC"
                                                          "ser/scanx.jpg"));
    EXPECT_FALSE(board.GetDib().has_value());
    board.Clear();
    EXPECT_FALSE(board.GetDib().has_value());
    EXPECT_FALSE(board.GetText().has_value());
}

// ---- Preview.

TEST(QtPreviewPort, LoadsAndHandsBackThePictureOrReportsInvalidPicture) {
    test::TempDir dir;
    ScanControlWidget w{Ports{}};
    QtPreview& preview = w.preview();
    EXPECT_TRUE(preview.PreviewPicture().Empty());

    const QImage img = Sample(30, 20);
    ASSERT_TRUE(img.save(QString::fromStdString(dir / "a.png")));
    w.control().Err().Clear();
    preview.Load(dir / "a.png");
    EXPECT_FALSE(w.control().Err().IsSet());
    const Picture shown = preview.PreviewPicture();
    EXPECT_EQ(shown.width, 30);
    EXPECT_EQ(shown.height, 20);
    EXPECT_TRUE(SamePixels(ImageFromPicture(shown), img));

    test::WriteFile(dir / "broken.jpg", "not a picture");
    for (const std::string& bad : {dir / "missing.jpg", dir / "broken.jpg"}) {
        w.control().Err().Clear();
        preview.Load(bad);
        EXPECT_EQ(w.control().Err().Number(), 481) << bad;
        EXPECT_EQ(preview.image().size(), QSize(30, 20)) << "the old picture stays";
    }

    // Scaled to fit and centred; a small picture is not blown up.
    preview.resize(102, 52);
    EXPECT_EQ(preview.pictureRect(), QRect(36, 16, 30, 20));
    preview.resize(32, 102);
    EXPECT_EQ(preview.pictureRect().size(), QSize(30, 20));
    preview.resize(17, 102);
    EXPECT_EQ(preview.pictureRect().width(), 15);
}

// ---- Script values.

TEST(QtVariantConversion, ScriptValuesBecomeTheControlsVariants) {
    using T = Variant::Type;
    const struct {
        QVariant in;
        T type;
        std::string text;
    } cases[] = {
        {QVariant(true), T::Boolean, "True"},
        {QVariant(42), T::Long, "42"},
        {QVariant::fromValue<short>(7), T::Integer, "7"},
        {QVariant::fromValue<qlonglong>(1ll << 40), T::Double, "1099511627776"},
        {QVariant::fromValue<uint>(4000000000u), T::Double, "4000000000"},
        {QVariant(2.5), T::Double, "2.5"},
        {QVariant(QStringLiteral(" TRUE ")), T::String, " TRUE "},
        {QVariant(QByteArray("bytes")), T::String, "bytes"},
        {QVariant::fromValue(nullptr), T::Null, ""},
        {QVariant(QVariantList{1, 2}), T::Array, ""},
    };
    for (const auto& c : cases) {
        const Variant v = ToVariant(c.in);
        EXPECT_EQ(v.type(), c.type) << c.in.typeName();
        if (!c.text.empty()) {
            EXPECT_EQ(v.ToText(), c.text) << c.in.typeName();
        }
    }
    EXPECT_TRUE(ToVariant(QVariant()).IsEmpty());
    EXPECT_TRUE(ToVariant(QVariant(), Variant::Missing()).IsMissing());

    EXPECT_EQ(FromVariant(Variant(true)).typeId(), QMetaType::Bool);
    EXPECT_TRUE(FromVariant(Variant(true)).toBool());
    EXPECT_EQ(FromVariant(Variant(int32_t{-5})).toInt(), -5);
    EXPECT_EQ(FromVariant(Variant(std::string("x"))).toString(), QStringLiteral("x"));
    EXPECT_FALSE(FromVariant(Variant()).isValid());
}

}  // namespace
}  // namespace folioray
