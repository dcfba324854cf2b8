#pragma once
// The key messages a host's container window takes (Host::PostMessage): the Windows
// message numbers and keystroke lParam layout, so that any host can turn them into its
// own key events.
#include <cstdint>

namespace folioray {

inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_END = 0x23;

// Scan codes (set 1) of the two control keys the typing uses.
inline constexpr uint32_t kScanEnd = 0x4F;
inline constexpr uint32_t kScanBack = 0x0E;

// lParam of a keystroke message: repeat count 1, the scan code in bits 16..23, and for a
// key-up the previous-state and transition bits (30 and 31).
constexpr uint32_t KeyLParam(uint32_t scanCode, bool keyUp) {
    return 1u | ((scanCode & 0xFFu) << 16) | (keyUp ? 0xC0000000u : 0u);
}

// The scan code held in a keystroke lParam.
constexpr uint32_t ScanCodeOf(uint32_t lParam) {
    return (lParam >> 16) & 0xFFu;
}

// Whether a key-down lParam says the key was already down (an auto-repeat).
constexpr bool IsKeyRepeat(uint32_t lParam) {
    return (lParam & 0x40000000u) != 0;
}

}  // namespace folioray
