#include <gtest/gtest.h>
#include <sys/stat.h>
#include <turbojpeg.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include "imaging/CDIBSection.h"
#include "imaging/IntelJPGLibrary.h"
#include "platform/turbojpeg/TurboJpegLibrary.h"
#include "runtime/ClipboardDib.h"
#include "runtime/VbError.h"
#include "tests/imaging/ImagingTestUtil.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

using test::Bgr;
using test::MakePicture;

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;  // top-down, tightly packed
    Bgr At(int x, int y) const {
        const uint8_t* p = bgr.data() + (static_cast<size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
};

Decoded Decode(const std::string& path) {
    const std::string jpeg = test::ReadFile(path);
    Decoded d;
    tjhandle h = tjInitDecompress();
    int subsamp = 0, colorspace = 0;
    auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    if (tjDecompressHeader3(h, data, jpeg.size(), &d.width, &d.height, &subsamp, &colorspace) ==
        0) {
        d.bgr.resize(static_cast<size_t>(d.width) * d.height * 3);
        if (tjDecompress2(h, data, jpeg.size(), d.bgr.data(), d.width, 0, d.height, TJPF_BGR, 0) !=
            0) {
            d = Decoded{};
        }
    }
    tjDestroy(h);
    return d;
}

void ExpectNear(Bgr got, Bgr want, int tolerance, const std::string& where) {
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(got[c], want[c], tolerance) << where << " channel " << c;
    }
}

// Quadrants: red top left, green top right, blue bottom left, white bottom right.
Bgr Quadrant(int x, int y, int w, int h) {
    const bool top = y < h / 2;
    const bool left = x < w / 2;
    if (top) return left ? Bgr{0, 0, 255} : Bgr{0, 255, 0};
    return left ? Bgr{255, 0, 0} : Bgr{255, 255, 255};
}

// The writer's own error: number 26001 from the JPEG module, with `description`.
void ExpectJpegError(const std::function<void()>& fn, const std::string& description) {
    try {
        fn();
        ADD_FAILURE() << "no error raised";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), 26001);
        EXPECT_EQ(e.Source(), "Folioray2.mIntelJPEGLibrary");
        EXPECT_EQ(e.Description(), description);
    }
}

class JpegWriterTest : public ::testing::Test {
  protected:
    static std::unique_ptr<CDIBSection> QuadrantPicture(int w, int h) {
        auto d = std::make_unique<CDIBSection>();
        d->CreateFromPicture(
            MakePicture(w, h, [w, h](int x, int y) { return Quadrant(x, y, w, h); }));
        return d;
    }
    test::TempDir dir;
    TurboJpegLibrary jpeg;
    std::unique_ptr<CDIBSection> small = QuadrantPicture(4, 4);
    CDIBSection& pic = *small;
};

TEST_F(JpegWriterTest, WritesAJpegThatDecodesTheRightWayRound) {
    // Widths with 0, 1, 2 and 3 padding bytes per row.
    for (auto [w, h] :
         {std::pair{64, 48}, std::pair{61, 37}, std::pair{62, 40}, std::pair{63, 9}}) {
        const std::string path = dir / ("page" + std::to_string(w) + ".jpg");
        ASSERT_TRUE(SaveJpegFile(jpeg, *QuadrantPicture(w, h), path, 90));
        const Decoded d = Decode(path);
        ASSERT_EQ(d.width, w);
        ASSERT_EQ(d.height, h);
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        // Sample well inside each quadrant, away from the colour edges.
        ExpectNear(d.At(w / 4, h / 4 - 1), {0, 0, 255}, 12, size + " top left (red)");
        ExpectNear(d.At(3 * w / 4, h / 4 - 1), {0, 255, 0}, 12, size + " top right (green)");
        ExpectNear(d.At(w / 4, 3 * h / 4), {255, 0, 0}, 12, size + " bottom left (blue)");
        ExpectNear(d.At(3 * w / 4, 3 * h / 4), {255, 255, 255}, 12, size + " bottom right");
    }
}

// A target that may not be replaced is refused before anything is written; a write that
// fails says why, in the library's words.
TEST_F(JpegWriterTest, FailuresRaiseTheirErrorAndLeaveOtherFilesAlone) {
    const std::string readOnly = dir / "readonly.jpg";
    test::WriteFile(readOnly, "locked");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const std::string folder = dir / "folder.jpg";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    test::WriteFile(folder + "/inside", "x");

    struct Case {
        std::string path;
        int32_t number;
    };
    for (const Case& c :
         {Case{readOnly, err::kPermissionDenied}, Case{folder, err::kPathFileAccess}}) {
        try {
            SaveJpegFile(jpeg, pic, c.path, 75);
            ADD_FAILURE() << c.path;
        } catch (const VbError& e) {
            EXPECT_EQ(e.Number(), c.number) << c.path;
        }
    }
    EXPECT_EQ(test::ReadFile(readOnly), "locked");
    EXPECT_EQ(test::ReadFile(folder + "/inside"), "x");
    ExpectJpegError([&] { SaveJpegFile(jpeg, pic, dir / "gone/scanx.jpg", 75); },
                    "Failed to save to JPG -5: " + std::string(std::strerror(ENOENT)));
}

// A page compressed line by line while it was read is what the write stores, byte for byte
// what TurboJPEG makes of the same rows, but only for that very picture at that quality.
// The lines given ahead differ from the picture written, so the file shows which was used.
TEST_F(JpegWriterTest, APageCompressedAheadIsStoredOnlyForItsPictureAndQuality) {
    const int w = 61, h = 37;  // odd: partial chroma blocks at both edges
    auto noise = [](unsigned seed) {
        return MakePicture(w, h, [seed](int x, int y) {
            const unsigned v = (static_cast<unsigned>(x * 7919 + y * 104729) ^ seed) * 2654435761u;
            return Bgr{static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                       static_cast<uint8_t>(v >> 24)};
        });
    };
    auto shared = [](const Picture& p) {
        return std::make_shared<const std::vector<uint8_t>>(MakeDib(p));
    };
    const Picture written = noise(1), lines = noise(2);
    const auto page = shared(written), other = shared(written);
    CDIBSection section;
    section.CreateFromPicture(PictureFromSharedDib(page));
    ASSERT_EQ(section.Bits(), page->data() + kBitmapInfoHeaderSize);
    auto compressed = [&](const Picture& p, int quality) {
        TurboJpegLibrary plain;
        CDIBSection d;
        d.CreateFromPicture(p);
        const std::string path = dir / "plain.jpg";
        EXPECT_TRUE(SaveJpegFile(plain, d, path, quality));
        return test::ReadFile(path);
    };

    struct Case {
        const char* name;
        int expected, written, given;
        const std::shared_ptr<const std::vector<uint8_t>>& owner;
        bool ahead;
    };
    for (const Case& c : {Case{"the page as expected", 75, 75, h, page, true},
                          Case{"quality 0, written as 1", 0, 0, h, page, true},
                          Case{"above 95, the accurate transform", 97, 97, h, page, true},
                          Case{"written at another quality", 75, 80, h, page, false},
                          Case{"a line short", 75, 75, h - 1, page, false},
                          Case{"made of another picture", 75, 75, h, other, false}}) {
        jpeg.ExpectPage(c.expected);
        std::unique_ptr<JpegAhead::Page> ahead = jpeg.Ahead()->Begin(w, h);
        ASSERT_TRUE(ahead) << c.name;
        for (int y = 0; y < c.given; ++y) {
            ahead->Line(lines.bits.data() + static_cast<size_t>(h - 1 - y) * lines.Stride());
        }
        ahead->Finish(c.owner, c.owner->data() + kBitmapInfoHeaderSize, written.Stride());
        const std::string path = dir / "scanx.jpg";
        ASSERT_TRUE(SaveJpegFile(jpeg, section, path, c.written)) << c.name;
        EXPECT_EQ(test::ReadFile(path), compressed(c.ahead ? lines : written, c.written)) << c.name;
    }
    // Nothing is compressed ahead unless a write is expected, and then for one page only.
    jpeg.ExpectPage(75);
    EXPECT_TRUE(jpeg.Ahead()->Begin(w, h));
    EXPECT_FALSE(jpeg.Ahead()->Begin(w, h));
}

}  // namespace
}  // namespace folioray
