#include <gtest/gtest.h>
#include <turbojpeg.h>

#include "platform/turbojpeg/TurboJpegLibrary.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

// A 2 x 2 BGR picture, rows 4-byte padded: first row in memory blue, second red.
struct TwoRows {
    uint8_t bytes[16] = {255, 0, 0,   255, 0, 0,   0, 0,   // blue blue pad pad
                         0,   0, 255, 0,   0, 255, 0, 0};  // red red pad pad
};

class TurboJpegLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(lib.ijlInit(&props), IJL_OK); }
    void TearDown() override { lib.ijlFree(&props); }

    void Describe(int32_t height) {
        props.DIBBytes = rows.bytes;
        props.DIBWidth = 2;
        props.DIBHeight = height;
        props.DIBPadBytes = 2;
        props.JPGFile = path.c_str();
        props.JPGWidth = 2;
        props.JPGHeight = 2;
        props.jquality = 100;
        props.JPGSubsampling = IJL_NONE;  // keep the two rows' colours apart
    }

    // Red component of the decoded top row.
    int TopRowRed() {
        const std::string jpeg = test::ReadFile(path);
        tjhandle h = tjInitDecompress();
        uint8_t out[12] = {};
        const int rc = tjDecompress2(h, reinterpret_cast<const unsigned char*>(jpeg.data()),
                                     jpeg.size(), out, 2, 0, 2, TJPF_BGR, 0);
        tjDestroy(h);
        return rc == 0 ? out[2] : -1;
    }

    TurboJpegLibrary lib;
    JPEG_CORE_PROPERTIES props{};
    TwoRows rows;
    test::TempDir dir;
    std::string path = dir / "out.jpg";
};

TEST_F(TurboJpegLibraryTest, TheSignOfDibHeightTellsTheRowOrder) {
    Describe(-2);  // bottom-up: the second row in memory is the top
    ASSERT_EQ(lib.ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_OK);
    EXPECT_GT(TopRowRed(), 200);
    Describe(2);  // top-down: the first row in memory is the top
    ASSERT_EQ(lib.ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE), IJL_OK);
    EXPECT_LT(TopRowRed(), 60);
}

TEST_F(TurboJpegLibraryTest, RefusesWhatItCannotWrite) {
    struct Case {
        const char* what;
        void (*spoil)(JPEG_CORE_PROPERTIES&);
        int io;
        int expected;
    };
    const Case cases[] = {
        {"io type", [](JPEG_CORE_PROPERTIES&) {}, 1, IJL_UNSUPPORTED_IO},
        {"no name", [](JPEG_CORE_PROPERTIES& p) { p.JPGFile = nullptr; }, 8, IJL_INVALID_FILENAME},
        {"no pixels", [](JPEG_CORE_PROPERTIES& p) { p.DIBBytes = nullptr; }, 8,
         IJL_INVALID_PROPERTIES},
        {"scaling", [](JPEG_CORE_PROPERTIES& p) { p.JPGWidth = 3; }, 8, IJL_INVALID_PROPERTIES},
        {"quality", [](JPEG_CORE_PROPERTIES& p) { p.jquality = 101; }, 8, IJL_INVALID_PROPERTIES},
        {"negative pad", [](JPEG_CORE_PROPERTIES& p) { p.DIBPadBytes = -1; }, 8,
         IJL_INVALID_PROPERTIES},
        {"channels", [](JPEG_CORE_PROPERTIES& p) { p.DIBChannels = 4; }, 8, IJL_INVALID_PROPERTIES},
        {"subsampling", [](JPEG_CORE_PROPERTIES& p) { p.JPGSubsampling = 9; }, 8,
         IJL_INVALID_PROPERTIES},
        {"zero height", [](JPEG_CORE_PROPERTIES& p) { p.DIBHeight = 0; }, 8,
         IJL_INVALID_PROPERTIES},
    };
    for (const Case& c : cases) {
        Describe(-2);
        c.spoil(props);
        EXPECT_EQ(lib.ijlWrite(&props, c.io), c.expected) << c.what;
        EXPECT_FALSE(test::Exists(path)) << c.what;
    }
}

}  // namespace
}  // namespace folioray
