// Pictures between Qt and the control: DIB bytes and the preview.
#include <gtest/gtest.h>

#include "control/ScanControl.h"
#include "platform/qt/QtImages.h"
#include "platform/qt/QtPreview.h"
#include "platform/qt/ScanControlWidget.h"
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

// ---- DIB bytes.

TEST(QtImagesDib, WrittenDibIsTwentyFourBitBottomUpWithPaddedRows) {
    const QImage img = Sample(5, 3);  // 15 bytes a row, padded to 16
    const std::vector<uint8_t> dib = DibFromImage(img);
    ASSERT_EQ(dib.size(), 40u + 16u * 3u);
    // The first stored row is the picture's bottom row, blue first.
    const QColor bottomLeft = img.pixelColor(0, 2);
    EXPECT_EQ(dib[40], bottomLeft.blue());
    EXPECT_EQ(dib[41], bottomLeft.green());
    EXPECT_EQ(dib[42], bottomLeft.red());
    EXPECT_TRUE(SamePixels(ImageFromDib(dib), img));
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

}  // namespace
}  // namespace folioray
