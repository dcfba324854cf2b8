// The key map of MapCharToKey and the keystroke lParam layout.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "page/PostKeys.h"

namespace folioray {
namespace {

struct KeyCase {
    char c;
    uint32_t scan;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << "'" << c.c << "'";
}

// The full map, written out from the keyboard's scan code set 1.
constexpr KeyCase kTable[] = {
    {'a', 0x1E}, {'b', 0x30}, {'c', 0x2E}, {'d', 0x20}, {'e', 0x12},  {'f', 0x21}, {'g', 0x22},
    {'h', 0x23}, {'i', 0x17}, {'j', 0x24}, {'k', 0x25}, {'l', 0x26},  {'m', 0x32}, {'n', 0x31},
    {'o', 0x18}, {'p', 0x19}, {'q', 0x10}, {'r', 0x13}, {'s', 0x1F},  {'t', 0x14}, {'u', 0x16},
    {'v', 0x2F}, {'w', 0x11}, {'x', 0x2D}, {'y', 0x15}, {'z', 0x2C},  {'0', 0x0B}, {'1', 0x02},
    {'2', 0x03}, {'3', 0x04}, {'4', 0x05}, {'5', 0x06}, {'6', 0x07},  {'7', 0x08}, {'8', 0x09},
    {'9', 0x0A}, {':', 0x27}, {'.', 0x34}, {'/', 0x35}, {'\\', 0x2B},
};

class MapCharToKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(MapCharToKeyTest, GivesTheCharacterCodeAndScanCode) {
    const KeyCase& k = GetParam();
    uint32_t code = 99, lParam = 99;
    MapCharToKey(k.c, code, lParam);
    EXPECT_EQ(code, static_cast<uint32_t>(static_cast<unsigned char>(k.c)));
    EXPECT_EQ(lParam, 0x0001u + (k.scan << 16));
}

INSTANTIATE_TEST_SUITE_P(Table, MapCharToKeyTest, ::testing::ValuesIn(kTable),
                         [](const auto& tp) { return "c" + std::to_string(tp.index); });

TEST(MapCharToKeyTest, WorkedValues) {
    uint32_t code = 0, lParam = 0;
    MapCharToKey('a', code, lParam);
    EXPECT_EQ(code, 97u);
    EXPECT_EQ(lParam, 0x001E0001u);
    MapCharToKey('0', code, lParam);
    EXPECT_EQ(code, 48u);
    EXPECT_EQ(lParam, 0x000B0001u);
    MapCharToKey('\\', code, lParam);
    EXPECT_EQ(code, 92u);
    EXPECT_EQ(lParam, 0x002B0001u);
}

TEST(MapCharToKeyTest, CapitalsGiveTheirLowerCaseEntry) {
    for (char upper = 'A'; upper <= 'Z'; ++upper) {
        uint32_t uc = 0, ul = 0, lc = 0, ll = 0;
        MapCharToKey(upper, uc, ul);
        MapCharToKey(static_cast<char>(upper - 'A' + 'a'), lc, ll);
        EXPECT_EQ(uc, lc) << upper;
        EXPECT_EQ(ul, ll) << upper;
        EXPECT_NE(uc, 0u);
    }
}

// Every byte outside the 40 characters and the 26 capitals has no entry.
TEST(MapCharToKeyTest, EveryOtherByteIsUnmapped) {
    std::set<int> mapped;
    for (const KeyCase& k : kTable) mapped.insert(static_cast<unsigned char>(k.c));
    for (int c = 'A'; c <= 'Z'; ++c) mapped.insert(c);
    int unmapped = 0;
    for (int b = 0; b < 256; ++b) {
        if (mapped.count(b)) continue;
        uint32_t code = 7, lParam = 7;
        MapCharToKey(static_cast<char>(b), code, lParam);
        EXPECT_EQ(code, 0u) << b;
        EXPECT_EQ(lParam, 0u) << b;
        ++unmapped;
    }
    EXPECT_EQ(unmapped, 256 - 66);
}

TEST(PostKeysTest, KeystrokeLParamLayout) {
    EXPECT_EQ(KeyLParam(0x4F, false), 0x004F0001u);
    EXPECT_EQ(KeyLParam(0x4F, true), 0xC04F0001u);
    EXPECT_EQ(KeyLParam(0x0E, false), 0x000E0001u);
    EXPECT_EQ(KeyLParam(0x0E, true), 0xC00E0001u);
    EXPECT_EQ(ScanCodeOf(0xC04F0001u), 0x4Fu);
}

}  // namespace
}  // namespace folioray
