// Frames a device may send that the test device cannot be made to send: parameters that
// contradict the data, odd frame sequences, absurd sizes. The assembler trusts the bytes,
// pads what is missing with white and never reads past what arrived.
#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <memory>

#include "platform/sane/SaneFrames.h"
#include "runtime/ClipboardDib.h"
#include "tests/acquire/Tools.h"
#include "tests/support/ParamName.h"

namespace folioray::sane {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<std::string> Rows(const Bytes& dib) {
    return test::Rows(PictureFromDib(dib));
}

struct Frame {
    FrameParams params;
    Bytes data;
};

Bytes Assemble(const std::vector<Frame>& frames, uint64_t maxPixels = 1 << 20) {
    FrameAssembler a(maxPixels);
    for (const Frame& f : frames) {
        a.BeginFrame(f.params);
        // Each byte in its own exactly sized buffer, as a device reading one at a time.
        for (uint8_t b : f.data) {
            std::unique_ptr<uint8_t[]> one(new uint8_t[1]{b});
            a.Append(one.get(), 1);
        }
        a.EndFrame();
        if (a.Complete()) break;
    }
    return a.MakeDib(300);
}

FrameParams Params(FrameFormat f, int32_t bpl, int32_t ppl, int32_t lines, int32_t depth = 8) {
    return {f, f == FrameFormat::Gray || f == FrameFormat::Rgb, bpl, ppl, lines, depth};
}

struct Good {
    const char* name;
    std::vector<Frame> frames;
    std::vector<std::string> rows;
    friend void PrintTo(const Good& c, std::ostream* os) { *os << c.name; }
};

class FramesTest : public ::testing::TestWithParam<Good> {};

TEST_P(FramesTest, GiveThePicture) {
    EXPECT_EQ(Rows(Assemble(GetParam().frames)), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, FramesTest,
    ::testing::Values(Good{"fewer bytes than announced: white below",
                           {{Params(FrameFormat::Gray, 2, 2, 3), {0x10, 0x20, 0x30}}},
                           {"101010 202020", "303030 FFFFFF"}},
                      Good{"more bytes than announced: the rows are kept",
                           {{Params(FrameFormat::Gray, 1, 1, 1), {0x11, 0x22, 0x33}}},
                           {"111111", "222222", "333333"}},
                      Good{"more pixels claimed than a line holds",
                           {{Params(FrameFormat::Rgb, 3, 50, 2), {1, 2, 3, 4, 5, 6}}},
                           {"010203", "040506"}},
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
}  // namespace folioray::sane
