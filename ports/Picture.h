#pragma once
// A picture as the control's picture holders keep it: a 24-bit bitmap of known size,
// or something that is not a bitmap (which leaves a DIB section empty).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace folioray {

struct Picture {
    bool isBitmap = false;
    int32_t width = 0;   // pixels
    int32_t height = 0;  // pixels
    // Rows bottom-up, 3 bytes per pixel (blue, green, red), each row padded to 4 bytes.
    std::vector<uint8_t> bits;
    // Instead of `bits`: rows held in a buffer shared with where they came from (a
    // clipboard DIB read in place), `sharedOffset` bytes in. Never written through.
    std::shared_ptr<const std::vector<uint8_t>> shared;
    size_t sharedOffset = 0;
    // Resolution the picture came with, pixels per metre; 0 when it names none.
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;

    bool Empty() const { return !isBitmap || width <= 0 || height <= 0; }
    int32_t Stride() const { return (width * 3 + 3) & ~3; }
    const uint8_t* Pixels() const { return shared ? shared->data() + sharedOffset : bits.data(); }
    size_t PixelBytes() const {
        if (!shared) return bits.size();
        return shared->size() > sharedOffset ? shared->size() - sharedOffset : 0;
    }
};

}  // namespace folioray
