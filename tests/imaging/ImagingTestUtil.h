#pragma once
// Picture and pixel helpers shared by the imaging tests. Rows are addressed from the
// top (yTop) the way a viewer sees them; the helpers map them onto bottom-up storage.
#include <array>
#include <cstdint>
#include <functional>

#include "imaging/CDIBSection.h"
#include "ports/Picture.h"

namespace folioray::test {

using Bgr = std::array<uint8_t, 3>;

inline Picture MakePicture(int32_t w, int32_t h, const std::function<Bgr(int x, int yTop)>& at,
                           uint8_t padding = 0xEE) {
    Picture p;
    p.isBitmap = true;
    p.width = w;
    p.height = h;
    p.bits.assign(static_cast<size_t>(p.Stride()) * h, padding);
    for (int yTop = 0; yTop < h; ++yTop) {
        uint8_t* row = p.bits.data() + static_cast<size_t>(h - 1 - yTop) * p.Stride();
        for (int x = 0; x < w; ++x) {
            Bgr c = at(x, yTop);
            row[3 * x] = c[0];
            row[3 * x + 1] = c[1];
            row[3 * x + 2] = c[2];
        }
    }
    return p;
}

inline Bgr PixelOf(const Picture& p, int x, int yTop) {
    const uint8_t* q =
        p.bits.data() + static_cast<size_t>(p.height - 1 - yTop) * p.Stride() + 3 * x;
    return {q[0], q[1], q[2]};
}

// Pixel (x, row) of a DIB section, row 0 being the bottom line in memory.
inline uint8_t* DibPixel(const CDIBSection& d, int x, int row) {
    return d.DIBSectionBitsPtr() + static_cast<size_t>(row) * d.BytesPerScanLine() + 3 * x;
}

}  // namespace folioray::test
