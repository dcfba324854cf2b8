#include "page/PostKeys.h"

namespace folioray {

namespace {

struct KeyEntry {
    char c;
    uint8_t scan;
};

// The characters a path needs (letters, digits, drive colon, dot and both separators).
constexpr KeyEntry kKeyMap[] = {
    {'a', 0x1E}, {'b', 0x30}, {'c', 0x2E}, {'d', 0x20}, {'e', 0x12},  {'f', 0x21}, {'g', 0x22},
    {'h', 0x23}, {'i', 0x17}, {'j', 0x24}, {'k', 0x25}, {'l', 0x26},  {'m', 0x32}, {'n', 0x31},
    {'o', 0x18}, {'p', 0x19}, {'q', 0x10}, {'r', 0x13}, {'s', 0x1F},  {'t', 0x14}, {'u', 0x16},
    {'v', 0x2F}, {'w', 0x11}, {'x', 0x2D}, {'y', 0x15}, {'z', 0x2C},  {'0', 0x0B}, {'1', 0x02},
    {'2', 0x03}, {'3', 0x04}, {'4', 0x05}, {'5', 0x06}, {'6', 0x07},  {'7', 0x08}, {'8', 0x09},
    {'9', 0x0A}, {':', 0x27}, {'.', 0x34}, {'/', 0x35}, {'\\', 0x2B},
};
static_assert(sizeof kKeyMap / sizeof kKeyMap[0] == 40);

}  // namespace

void MapCharToKey(char c, uint32_t& charCode, uint32_t& lParam) {
    // Only ASCII capitals fold; bytes of other encodings stay unmapped.
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const KeyEntry& e : kKeyMap) {
        if (e.c == c) {
            charCode = static_cast<uint8_t>(e.c);
            lParam = KeyLParam(e.scan, false);
            return;
        }
    }
    charCode = 0;
    lParam = 0;
}

}  // namespace folioray
