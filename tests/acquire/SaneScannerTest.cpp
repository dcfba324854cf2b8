// The SANE scanner against the SANE test device: every image layout the device can send
// gives the picture scanimage gives, every status but success fails, a stalled device is
// given up after a bounded wait, and the device can be chosen.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "acquire/ClipboardDib.h"
#include "apps/folioray/PictureFile.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/sane/SaneScanner.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/acquire/Tools.h"
#include "tests/support/RunProcess.h"

namespace folioray {
namespace {

using Options = std::vector<std::pair<std::string, std::string>>;

class SaneTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::UseSaneTestDevice(); }

    SaneTest() {
        scanner.SetDevice("test:0");
        SaneScanner::Timeouts t;
        t.idle = std::chrono::seconds(60);
        t.cancelGrace = std::chrono::seconds(30);
        scanner.SetTimeouts(t);
    }

    // Scans with the options given; the clipboard's picture, or a failure.
    ::testing::AssertionResult Scan(const Options& options, Picture* result = nullptr) {
        scanner.ClearOptions();
        for (const auto& [k, v] : options) scanner.SetOption(k, v);
        clipboard.Clear();
        if (scanner.TWAIN_AcquireToClipboard(0, 0) == 0) {
            return ::testing::AssertionFailure() << "scan failed: " << scanner.LastError();
        }
        auto dib = clipboard.GetDib();
        if (!dib) return ::testing::AssertionFailure() << "nothing on the clipboard";
        try {
            Picture p = PictureFromDib(*dib);
            if (result) *result = std::move(p);
        } catch (const std::exception& e) {
            return ::testing::AssertionFailure() << "the clipboard DIB is invalid: " << e.what();
        }
        return ::testing::AssertionSuccess();
    }

    // What scanimage makes of the same device and options.
    Picture ScanImage(const Options& options) {
        std::vector<std::string> argv = {
            test::Program("scanimage"), "-d", "test:0", "--format=pnm", "-o",
            out / "scanimage.pnm"};
        for (const auto& [k, v] : options) argv.push_back("--" + k + "=" + v);
        auto r = test::RunProcess(argv, test::SaneChildEnv(test::SaneConfigDir()));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string bytes = test::ReadFile(out / "scanimage.pnm");
        return PictureFromPnm(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }

    test::TempDir out;
    MemoryClipboard clipboard;
    SaneScanner scanner{clipboard};
};

std::string Describe(const Picture& p) {
    return std::to_string(p.width) + "x" + std::to_string(p.height);
}

TEST_F(SaneTest, TheTestDevicesAreListedAndAvailable) {
    EXPECT_EQ(scanner.TWAIN_IsAvailable(), 1);
    const std::vector<SaneDevice> devices = scanner.Devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "test:0");
    EXPECT_EQ(devices[1].name, "test:1");
    EXPECT_EQ(devices[0].vendor, "Noname");
}

TEST_F(SaneTest, ScansOneColourPageByDefault) {
    Picture p;
    ASSERT_TRUE(Scan({{"test-picture", "Color pattern"}}, &p));
    // 80 x 100 mm at 50 dpi.
    EXPECT_EQ(Describe(p), "157x196");
    const Picture expected = ScanImage({{"test-picture", "Color pattern"}, {"mode", "Color"}});
    EXPECT_EQ(Describe(p), Describe(expected));
    EXPECT_TRUE(p.bits == expected.bits) << "the colour picture differs from scanimage's";
}

struct Layout {
    const char* name;
    Options options;
    // What scanimage is asked instead, where it cannot read the layout itself; with
    // `crop`, its picture is cut to our width (pixels the device declared lost).
    Options reference = {};
    bool crop = false;
};

void PrintTo(const Layout& l, std::ostream* os) {
    *os << l.name;
}

Picture CropWidth(const Picture& p, int32_t width) {
    Picture c;
    c.isBitmap = true;
    c.width = width;
    c.height = p.height;
    c.bits.assign(static_cast<size_t>(c.Stride()) * c.height, 0);
    for (int32_t y = 0; y < p.height; ++y) {
        std::copy_n(p.bits.begin() + y * p.Stride(), width * 3, c.bits.begin() + y * c.Stride());
    }
    return c;
}

class SaneLayoutTest : public SaneTest, public ::testing::WithParamInterface<Layout> {};

// The same picture as scanimage, whatever the device's way of sending it.
TEST_P(SaneLayoutTest, GivesScanimagesPicture) {
    const Options base = {{"test-picture", "Color pattern"}, {"resolution", "15"}};
    Options options = base;
    options.insert(options.end(), GetParam().options.begin(), GetParam().options.end());
    Picture ours;
    ASSERT_TRUE(Scan(options, &ours));
    Options reference = base;
    const Options& extra = GetParam().reference.empty() ? GetParam().options : GetParam().reference;
    reference.insert(reference.end(), extra.begin(), extra.end());
    Picture theirs = ScanImage(reference);
    if (GetParam().crop && theirs.width > ours.width) theirs = CropWidth(theirs, ours.width);
    ASSERT_EQ(Describe(ours), Describe(theirs));
    EXPECT_TRUE(ours.bits == theirs.bits);
}

INSTANTIATE_TEST_SUITE_P(
    Device, SaneLayoutTest,
    ::testing::Values(
        Layout{"grey 8 bits", {{"mode", "Gray"}, {"depth", "8"}}},
        Layout{"grey 16 bits", {{"mode", "Gray"}, {"depth", "16"}}},
        Layout{"line art", {{"mode", "Gray"}, {"depth", "1"}}},
        Layout{"colour 8 bits", {{"mode", "Color"}, {"depth", "8"}}},
        Layout{"colour 16 bits", {{"mode", "Color"}, {"depth", "16"}}},
        Layout{"three passes RGB", {{"mode", "Color"}, {"three-pass", "yes"}}},
        Layout{"three passes GBR",
               {{"mode", "Color"}, {"three-pass", "yes"}, {"three-pass-order", "GBR"}}},
        Layout{"three passes BRG, 16 bits",
               {{"mode", "Color"},
                {"depth", "16"},
                {"three-pass", "yes"},
                {"three-pass-order", "BRG"}},
               {{"mode", "Color"}, {"depth", "16"}}},
        Layout{"hand scanner: no line count", {{"mode", "Color"}, {"hand-scanner", "yes"}}},
        Layout{"pixels lost at the end of each line",
               {{"mode", "Color"}, {"ppl-loss", "7"}},
               {{"mode", "Color"}},
               true},
        Layout{"one byte per read",
               {{"mode", "Color"}, {"read-limit", "yes"}, {"read-limit-size", "1"}}},
        Layout{
            "odd read sizes, 16 bits",
            {{"mode", "Gray"}, {"depth", "16"}, {"read-limit", "yes"}, {"read-limit-size", "3"}}},
        Layout{"fuzzy parameters before the start",
               {{"mode", "Color"}, {"fuzzy-parameters", "yes"}}},
        Layout{"bytes swapped in 16 bits",
               {{"mode", "Color"}, {"depth", "16"}, {"invert-endianess", "yes"}}}));

// scanimage cannot write colour at one bit (and the test device draws its patterns
// wrongly there): solid pages show that a set bit means full intensity.
TEST_F(SaneTest, OneBitColourMarksFullIntensityWithOne) {
    for (const bool threePass : {false, true}) {
        for (const auto& [picture, value] :
             {std::pair{"Solid white", 255}, std::pair{"Solid black", 0}}) {
            Options o = {{"test-picture", picture},
                         {"resolution", "20"},
                         {"mode", "Color"},
                         {"depth", "1"},
                         {"three-pass", threePass ? "yes" : "no"}};
            Picture p;
            ASSERT_TRUE(Scan(o, &p)) << picture;
            ASSERT_EQ(Describe(p), "62x78");
            for (int32_t y = 0; y < p.height; ++y) {
                for (int32_t x = 0; x < p.width * 3; ++x) {
                    ASSERT_EQ(p.bits[y * p.Stride() + x], value)
                        << picture << " at " << x / 3 << "," << y;
                }
            }
        }
    }
}

class SaneStatusTest : public SaneTest, public ::testing::WithParamInterface<const char*> {};

// Every status but success ends the scan as a failure, with the clipboard untouched.
TEST_P(SaneStatusTest, FailsTheScan) {
    clipboard.SetText("kept");
    scanner.ClearOptions();
    scanner.SetOption("read-return-value", GetParam());
    EXPECT_EQ(scanner.TWAIN_AcquireToClipboard(0, 0), 0);
    EXPECT_FALSE(clipboard.GetDib());
    EXPECT_EQ(clipboard.GetText(), "kept");
    EXPECT_FALSE(scanner.LastError().empty());
    // The device is usable again at once.
    EXPECT_TRUE(Scan({{"read-return-value", "Default"}, {"resolution", "10"}}));
}

INSTANTIATE_TEST_SUITE_P(Device, SaneStatusTest,
                         ::testing::Values("SANE_STATUS_UNSUPPORTED", "SANE_STATUS_CANCELLED",
                                           "SANE_STATUS_DEVICE_BUSY", "SANE_STATUS_INVAL",
                                           "SANE_STATUS_EOF", "SANE_STATUS_JAMMED",
                                           "SANE_STATUS_NO_DOCS", "SANE_STATUS_COVER_OPEN",
                                           "SANE_STATUS_IO_ERROR", "SANE_STATUS_NO_MEM",
                                           "SANE_STATUS_ACCESS_DENIED"));

TEST_F(SaneTest, TheStatusIsNamedInTheLastError) {
    scanner.SetOption("read-return-value", "SANE_STATUS_JAMMED");
    EXPECT_EQ(scanner.TWAIN_AcquireToClipboard(0, 0), 0);
    EXPECT_EQ(scanner.LastError(), "sane_read: Document feeder jammed");
}

TEST_F(SaneTest, AStalledDeviceIsCancelledAfterTheIdleTimeout) {
    // 200 ms between buffers against 50 ms of patience.
    SaneScanner::Timeouts t;
    t.idle = std::chrono::milliseconds(50);
    t.cancelGrace = std::chrono::seconds(30);
    scanner.SetTimeouts(t);
    scanner.SetOption("read-delay", "yes");
    scanner.SetOption("read-delay-duration", "200000");
    scanner.SetOption("resolution", "300");
    EXPECT_EQ(scanner.TWAIN_AcquireToClipboard(0, 0), 0);
    EXPECT_EQ(scanner.LastError(), "the device sent no data for too long");
    EXPECT_FALSE(clipboard.GetDib());
    // Cancelled cleanly: the next scan works.
    t.idle = std::chrono::seconds(60);
    scanner.SetTimeouts(t);
    EXPECT_TRUE(Scan({{"resolution", "10"}}));
}

TEST_F(SaneTest, TheCallerKeepsPumpingWhileTheDeviceWorks) {
    std::atomic<int> pumps{0};
    int nested = -1;
    scanner.SetPump([&] {
        if (pumps++ == 0) {
            // A click handled here cannot start a second scan on the same device.
            nested = scanner.TWAIN_AcquireToClipboard(0, 0);
        }
    });
    std::vector<int> percents;
    scanner.SetProgress([&](int p) { percents.push_back(p); });
    // At least two buffers, each followed by a 200 ms pause: the wait cannot be short.
    ASSERT_TRUE(
        Scan({{"read-delay", "yes"}, {"read-delay-duration", "200000"}, {"resolution", "100"}}));
    EXPECT_GT(pumps.load(), 0);
    EXPECT_EQ(nested, 0);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LE(percents.back(), 100);
}

TEST_F(SaneTest, OptionsTheDeviceRefusesFailTheScan) {
    for (const Options& o :
         {Options{{"no-such-option", "1"}}, Options{{"resolution", "not a number"}},
          Options{{"mode", "Gray"}, {"three-pass", "yes"}},  // inactive
          Options{{"mode", "Sepia"}}, Options{{"hand-scanner", "maybe"}}}) {
        EXPECT_FALSE(Scan(o)) << o.back().first;
        EXPECT_FALSE(scanner.LastError().empty());
    }
    EXPECT_TRUE(Scan({{"resolution", "10"}}));
}

TEST_F(SaneTest, TheChosenDeviceIsUsedAndAnUnknownOneFails) {
    scanner.SetDevice("test:1");
    EXPECT_TRUE(Scan({{"resolution", "10"}}));
    scanner.SetDevice("test:9");
    EXPECT_FALSE(Scan({{"resolution", "10"}}));
    EXPECT_NE(scanner.LastError().find("sane_open"), std::string::npos);
    scanner.SetDevice("");  // the first listed
    EXPECT_TRUE(Scan({{"resolution", "10"}}));
}

TEST_F(SaneTest, SelectOffersTheDevicesAndKeepsTheChoice) {
    std::vector<std::string> offered;
    std::string current;
    std::optional<std::string> answer = "test:1";
    scanner.SetChooser([&](const std::vector<SaneDevice>& devices, const std::string& cur) {
        for (const auto& d : devices) offered.push_back(d.name);
        current = cur;
        return answer;
    });
    EXPECT_EQ(scanner.TWAIN_SelectImageSource(0), 1);
    EXPECT_EQ(offered, (std::vector<std::string>{"test:0", "test:1"}));
    EXPECT_EQ(current, "test:0");
    EXPECT_EQ(scanner.Device(), "test:1");

    answer.reset();  // cancelled
    EXPECT_EQ(scanner.TWAIN_SelectImageSource(0), 0);
    EXPECT_EQ(scanner.Device(), "test:1");
    answer = "test:7";  // not a device
    EXPECT_EQ(scanner.TWAIN_SelectImageSource(0), 0);
    EXPECT_EQ(scanner.Device(), "test:1");
}

TEST_F(SaneTest, TwoScannersShareOneSaneSession) {
    MemoryClipboard other;
    SaneScanner second(other);
    second.SetOption("resolution", "10");
    EXPECT_EQ(second.TWAIN_AcquireToClipboard(0, 0), 1);
    EXPECT_TRUE(Scan({{"resolution", "10"}}));
    EXPECT_TRUE(other.GetDib());
}

}  // namespace
}  // namespace folioray
