// The SANE scanner against the SANE test device: every image layout the device can send
// gives the picture scanimage gives, and options the device refuses fail the scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>

#include "apps/folioray/PictureFile.h"
#include "platform/headless/MemoryClipboard.h"
#include "platform/sane/SaneFrames.h"
#include "platform/sane/SaneScanner.h"
#include "runtime/ClipboardDib.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/acquire/Tools.h"
#include "tests/support/ParamName.h"
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
        std::vector<std::string> argv = {"scanimage",    "-d", "test:0",
                                         "--format=pnm", "-o", out / "scanimage.pnm"};
        for (const auto& [k, v] : options) argv.push_back("--" + k + "=" + v);
        // The test backend cancels its reader at a moment that can hang scanimage itself
        // (a C-library lock left taken): a run that hangs is killed and run again.
        test::ProcessResult r;
        for (int attempt = 0; attempt < 3 && r.exitCode == -1; ++attempt) {
            r = test::RunProcess(argv, test::SaneChildEnv(test::SaneConfigDir()), 15);
        }
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

struct Layout {
    const char* name;
    Options options;
    // What scanimage is asked instead, where it cannot read the layout itself; with
    // `crop`, its picture is cut to our width (pixels the device declared lost).
    Options reference = {};
    bool crop = false;
    friend void PrintTo(const Layout& c, std::ostream* os) { *os << c.name; }
};

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
        Layout{"colour", {{"mode", "Color"}}},
        Layout{"grey 8 bits", {{"mode", "Gray"}, {"depth", "8"}}},
        Layout{"line art", {{"mode", "Gray"}, {"depth", "1"}}},
        Layout{"three passes GBR",
               {{"mode", "Color"}, {"three-pass", "yes"}, {"three-pass-order", "GBR"}}},
        Layout{"hand scanner: no line count", {{"mode", "Color"}, {"hand-scanner", "yes"}}},
        Layout{"pixels lost at the end of each line",
               {{"mode", "Color"}, {"ppl-loss", "7"}},
               {{"mode", "Color"}},
               true},
        Layout{"bytes swapped in 16 bits",
               {{"mode", "Color"}, {"depth", "16"}, {"invert-endianess", "yes"}}}),
    test::ByName());

TEST_F(SaneTest, OptionsTheDeviceRefusesFailTheScan) {
    for (const Options& o :
         {Options{{"no-such-option", "1"}}, Options{{"resolution", "not a number"}},
          Options{{"mode", "Gray"}, {"three-pass", "yes"}}}) {  // the last is inactive
        EXPECT_FALSE(Scan(o)) << o.back().first;
        EXPECT_FALSE(scanner.LastError().empty());
    }
    EXPECT_TRUE(Scan({{"resolution", "10"}}));
}

// ---- Frames a device may send that the test device cannot be made to send: parameters that
// contradict the data, odd frame sequences, absurd sizes. The assembler trusts the bytes,
// pads what is missing with white and never reads past what arrived.

using sane::FrameAssembler;
using sane::FrameError;
using sane::FrameFormat;
using sane::FrameParams;

using Bytes = std::vector<uint8_t>;

std::vector<std::string> Rows(const Bytes& dib) {
    return test::Rows(PictureFromDib(dib));
}

struct Frame {
    FrameParams params;
    Bytes data;
};

// The lines a page shows as they arrive, as Rows writes them.
struct Shown {
    std::vector<std::string> rows;
    bool whole = false;
};

Bytes Assemble(const std::vector<Frame>& frames, uint64_t maxPixels = 1 << 20,
               Shown* shown = nullptr) {
    FrameAssembler a(maxPixels);
    for (const Frame& f : frames) {
        a.BeginFrame(f.params);
        if (shown && a.ConvertsAsItArrives()) {
            a.ShowLines([shown, w = a.Width()](const uint8_t* bgr) {
                Picture line;
                line.isBitmap = true;
                line.width = w;
                line.height = 1;
                line.bits.assign(bgr, bgr + line.Stride());
                shown->rows.push_back(test::Rows(line)[0]);
            });
        }
        // Each byte in its own exactly sized buffer, as a device reading one at a time.
        for (uint8_t b : f.data) {
            std::unique_ptr<uint8_t[]> one(new uint8_t[1]{b});
            a.Append(one.get(), 1);
        }
        a.EndFrame();
        if (a.Complete()) break;
    }
    Bytes dib = a.MakeDib(300);
    if (shown) shown->whole = a.ShownWhole();
    return dib;
}

FrameParams Params(FrameFormat f, int32_t bpl, int32_t ppl, int32_t lines, int32_t depth = 8) {
    return {f, f == FrameFormat::Gray || f == FrameFormat::Rgb, bpl, ppl, lines, depth};
}

struct Good {
    const char* name;
    std::vector<Frame> frames;
    std::vector<std::string> rows;
    bool shownWhole = false;  // the lines shown as they arrived are the picture
    friend void PrintTo(const Good& c, std::ostream* os) { *os << c.name; }
};

class FramesTest : public ::testing::TestWithParam<Good> {};

TEST_P(FramesTest, GiveThePicture) {
    Shown shown;
    const std::vector<std::string> rows = Rows(Assemble(GetParam().frames, 1 << 20, &shown));
    EXPECT_EQ(rows, GetParam().rows);
    EXPECT_EQ(shown.whole, GetParam().shownWhole);
    if (shown.whole) {
        EXPECT_EQ(shown.rows, rows);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, FramesTest,
    ::testing::Values(Good{"the last line cut short: white at its end",
                           {{Params(FrameFormat::Gray, 2, 2, 2), {0x10, 0x20, 0x30}}},
                           {"101010 202020", "303030 FFFFFF"},
                           true},
                      Good{"fewer bytes than announced: white below",
                           {{Params(FrameFormat::Gray, 2, 2, 3), {0x10, 0x20, 0x30}}},
                           {"101010 202020", "303030 FFFFFF"}},
                      Good{"more bytes than announced: the rows are kept",
                           {{Params(FrameFormat::Gray, 1, 1, 1), {0x11, 0x22, 0x33}}},
                           {"111111", "222222", "333333"}},
                      Good{"more pixels claimed than a line holds",
                           {{Params(FrameFormat::Rgb, 3, 50, 2), {1, 2, 3, 4, 5, 6}}},
                           {"010203", "040506"},
                           true},
                      Good{"the lines announced, each padded",
                           {{Params(FrameFormat::Gray, 3, 2, 2), {1, 2, 9, 3, 4, 9}}},
                           {"010101 020202", "030303 040404"},
                           true},
                      Good{"16 bits, host order, last sample cut short",
                           {{Params(FrameFormat::Gray, 4, 2, 1, 16), {0x00, 0xAB, 0x00}}},
                           {"ABABAB FFFFFF"}},
                      Good{"colour planes in any order, sizes that disagree",
                           {{Params(FrameFormat::Blue, 2, 2, 1), {0x01, 0x02}},
                            {Params(FrameFormat::Red, 3, 3, 2),
                             {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}},
                            {Params(FrameFormat::Green, 2, 2, 1), {0xA0, 0xB0}}},
                           {"10A001 20B002", "40FFFF 50FFFF"}}),
    test::ByName());

struct Bad {
    const char* name;
    std::vector<Frame> frames;
    uint64_t maxPixels = 1 << 20;
    friend void PrintTo(const Bad& c, std::ostream* os) { *os << c.name; }
};

class BadFramesTest : public ::testing::TestWithParam<Bad> {};

TEST_P(BadFramesTest, FailTheScan) {
    EXPECT_THROW(Assemble(GetParam().frames, GetParam().maxPixels), FrameError);
}

INSTANTIATE_TEST_SUITE_P(Devices, BadFramesTest,
                         ::testing::Values(Bad{"no data at all",
                                               {{Params(FrameFormat::Gray, 4, 4, 4), {}}}},
                                           Bad{"a line too short for one pixel",
                                               {{Params(FrameFormat::Rgb, 2, 1, 1), {1, 2}}}},
                                           Bad{"a colour plane twice",
                                               {{Params(FrameFormat::Red, 1, 1, 1), {1}},
                                                {Params(FrameFormat::Red, 1, 1, 1), {1}},
                                                {Params(FrameFormat::Green, 1, 1, 1), {1}}}},
                                           Bad{"only two colour planes",
                                               {{Params(FrameFormat::Red, 1, 1, 1), {1}},
                                                {{FrameFormat::Green, true, 1, 1, 1, 8}, {2}}}},
                                           Bad{"more data than any picture may have",
                                               {{Params(FrameFormat::Gray, 4, 4, -1), Bytes(100)}},
                                               16},
                                           Bad{"a line wider than any picture may be",
                                               {{Params(FrameFormat::Gray, 64, 64, 1), {1}}},
                                               16}),
                         test::ByName());

}  // namespace
}  // namespace folioray
