// The clipboard DIB reader: every accepted layout gives the same pixels, and every
// header that lies about the bytes is refused before a pixel is read.
#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/ClipboardDib.h"
#include "runtime/VbError.h"
#include "tests/acquire/Tools.h"
#include "tests/support/ParamName.h"

namespace folioray {
namespace {

using test::Rows;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Header {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
};

Bytes MakeHeader(const Header& h) {
    Bytes b;
    Put32(b, h.size);
    Put32(b, static_cast<uint32_t>(h.width));
    Put32(b, static_cast<uint32_t>(h.height));
    Put16(b, h.planes);
    Put16(b, h.bpp);
    Put32(b, h.compression);
    Put32(b, 0xFFFFFFFF);  // biSizeImage is never trusted
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, h.clrUsed);
    Put32(b, 0);
    b.resize(h.size, 0);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A 3 x 2 picture: red green blue over white black yellow.
const std::vector<std::string> kSix = {"FF0000 00FF00 0000FF", "FFFFFF 000000 FFFF00"};

// Rows of 24-bit pixels, bottom row first, padded to 4 bytes.
Bytes Rgb24BottomUp() {
    return {0xFF, 0xFF, 0xFF, 0, 0,    0, 0x00, 0xFF, 0xFF, 0, 0, 0,   // white black yellow
            0x00, 0x00, 0xFF, 0, 0xFF, 0, 0xFF, 0x00, 0x00, 0, 0, 0};  // red green blue
}

struct Good {
    const char* name;
    Bytes dib;
    std::vector<std::string> rows;
    friend void PrintTo(const Good& c, std::ostream* os) { *os << c.name; }
};

Bytes Px32(std::initializer_list<uint32_t> px) {
    Bytes b;
    for (uint32_t p : px) Put32(b, p);
    return b;
}
Bytes Quad(uint8_t r, uint8_t g, uint8_t b) {
    return {b, g, r, 0};
}

std::vector<Good> GoodCases() {
    std::vector<Good> v;
    v.push_back(
        {"24 bits bottom-up", Cat({MakeHeader({.width = 3, .height = 2}), Rgb24BottomUp()}), kSix});
    {
        Bytes rows = Rgb24BottomUp();
        Bytes topDown(rows.begin() + 12, rows.end());
        topDown.insert(topDown.end(), rows.begin(), rows.begin() + 12);
        v.push_back(
            {"24 bits top-down", Cat({MakeHeader({.width = 3, .height = -2}), topDown}), kSix});
    }
    v.push_back({"32 bits bit fields after an info header",
                 Cat({MakeHeader({.width = 3, .height = 2, .bpp = 32, .compression = 3}),
                      Px32({0x000000FF, 0x0000FF00, 0x00FF0000}),  // red low, blue high
                      Px32({0xFFFFFF, 0, 0x00FFFF, 0x0000FF, 0x00FF00, 0xFF0000})}),
                 kSix});
    v.push_back({"8 bits with a short colour table",
                 Cat({MakeHeader({.width = 3, .height = 2, .bpp = 8, .clrUsed = 3}),
                      Quad(0xFF, 0, 0), Quad(0, 0xFF, 0), Quad(0, 0, 0xFF),
                      Bytes{2, 0, 200, 0},  // index 200 lies past the table: black
                      Bytes{0, 1, 2, 0}}),
                 {"FF0000 00FF00 0000FF", "0000FF FF0000 000000"}});
    return v;
}

class GoodDibTest : public ::testing::TestWithParam<Good> {};

TEST_P(GoodDibTest, GivesThePicture) {
    const Good& g = GetParam();
    const Picture p = PictureFromDib(g.dib);
    ASSERT_TRUE(p.isBitmap);
    ASSERT_EQ(p.height, static_cast<int32_t>(g.rows.size()));
    EXPECT_EQ(p.bits.size(), static_cast<size_t>(p.Stride()) * p.height);
    EXPECT_EQ(Rows(p), g.rows);
    // Read in place from a shared buffer: the same picture.
    EXPECT_EQ(Rows(PictureFromSharedDib(std::make_shared<const Bytes>(g.dib))), g.rows);
}

INSTANTIATE_TEST_SUITE_P(Layouts, GoodDibTest, ::testing::ValuesIn(GoodCases()), test::ByName());

struct Bad {
    const char* name;
    Bytes dib;
    int32_t error = err::kInvalidPicture;
    friend void PrintTo(const Bad& c, std::ostream* os) { *os << c.name; }
};

std::vector<Bad> BadCases() {
    const Bytes six = Rgb24BottomUp();
    auto h = [](Header x) { return MakeHeader(x); };
    std::vector<Bad> v;
    v.push_back({"nothing", {}});
    {
        Bytes cut = h({.width = 3, .height = 2});
        cut.resize(20);
        v.push_back({"header cut short", cut});
    }
    v.push_back({"width 0", Cat({h({.width = 0, .height = 2}), six})});
    v.push_back(
        {"0 bits (JPEG or PNG inside)", Cat({h({.width = 3, .height = 2, .bpp = 0}), six})});
    v.push_back({"RLE8", Cat({h({.width = 3, .height = 2, .bpp = 8, .compression = 1}),
                              Bytes(1024 + 64, 0)})});
    v.push_back({"bit fields without their masks",
                 Cat({h({.width = 1, .height = 1, .bpp = 32, .compression = 3}), Bytes(8, 0)})});
    v.push_back(
        {"palette larger than the depth allows",
         Cat({h({.width = 1, .height = 1, .bpp = 1, .clrUsed = 3}), Bytes(12, 0), Bytes(4, 0)})});
    {
        Bytes shortRows = six;
        shortRows.pop_back();
        v.push_back({"pixels one byte short", Cat({h({.width = 3, .height = 2}), shortRows})});
    }
    v.push_back({"width 2^31-1", Cat({h({.width = INT32_MAX, .height = 1}), six})});
    return v;
}

class BadDibTest : public ::testing::TestWithParam<Bad> {};

TEST_P(BadDibTest, IsRefusedWithItsError) {
    const Bad& b = GetParam();
    try {
        // A copy of exactly the bytes given, so the sanitizers see any read past them.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[b.dib.size() + 1]);
        if (!b.dib.empty()) std::memcpy(exact.get(), b.dib.data(), b.dib.size());
        PictureFromDib(b.dib.empty() ? nullptr : exact.get(), b.dib.size());
        FAIL() << "accepted";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), b.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, BadDibTest, ::testing::ValuesIn(BadCases()), test::ByName());

TEST(ClipboardDibTest, TooManyPixelsIsRefusedBeforeAllocating) {
    // 16385 x 16385 one-bit pixels are all present, yet 24 bits of them would not fit.
    const int32_t side = 16385;
    const size_t stride = (side + 31) / 32 * 4;
    Bytes dib = Cat({MakeHeader({.width = side, .height = side, .bpp = 1}), Quad(0, 0, 0),
                     Quad(255, 255, 255)});
    dib.resize(dib.size() + stride * side, 0);
    try {
        PictureFromDib(dib);
        FAIL();
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), err::kOutOfMemory);
    }
}

}  // namespace
}  // namespace folioray
