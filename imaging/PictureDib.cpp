#include "imaging/PictureDib.h"

#include <algorithm>
#include <cstring>

#include "imaging/CDIBSection.h"
#include "imaging/Surface.h"

namespace folioray {

namespace {

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

std::vector<uint8_t> MakeDib(int32_t width, int32_t height, int32_t stride, const uint8_t* bits) {
    if (width <= 0 || height <= 0 || !bits) return {};
    const int64_t outStride = gdi::Stride24(width);
    if (outStride < 0 || stride < width * int64_t{3}) return {};
    const int64_t imageBytes = outStride * height;
    if (imageBytes > INT32_MAX) return {};

    std::vector<uint8_t> out(kBitmapInfoHeaderSize + static_cast<size_t>(imageBytes), 0);
    Put32(out, 0, kBitmapInfoHeaderSize);
    Put32(out, 4, static_cast<uint32_t>(width));
    Put32(out, 8, static_cast<uint32_t>(height));
    Put16(out, 12, 1);   // planes
    Put16(out, 14, 24);  // bits per pixel
    Put32(out, 16, 0);   // BI_RGB
    Put32(out, 20, static_cast<uint32_t>(imageBytes));

    uint8_t* dst = out.data() + kBitmapInfoHeaderSize;
    if (stride == outStride) {
        std::memcpy(dst, bits, static_cast<size_t>(imageBytes));
    } else {
        for (int32_t y = 0; y < height; ++y) {
            std::memcpy(dst + y * outStride, bits + int64_t{y} * stride,
                        static_cast<size_t>(width) * 3);
        }
    }
    return out;
}

std::vector<uint8_t> MakeDib(const Picture& picture) {
    if (!picture.isBitmap || picture.width <= 0 || picture.height <= 0) return {};
    const int64_t stride = gdi::Stride24(picture.width);
    if (stride < 0 || stride * picture.height > static_cast<int64_t>(picture.bits.size())) {
        return {};
    }
    std::vector<uint8_t> dib =
        MakeDib(picture.width, picture.height, static_cast<int32_t>(stride), picture.bits.data());
    if (!dib.empty()) {
        Put32(dib, 24, static_cast<uint32_t>(std::max(0, picture.xPelsPerMeter)));
        Put32(dib, 28, static_cast<uint32_t>(std::max(0, picture.yPelsPerMeter)));
    }
    return dib;
}

Picture ToPicture(const CDIBSection& dib) {
    Picture p;
    const uint8_t* bits = dib.DIBSectionBitsPtr();
    if (!bits || dib.Width() <= 0 || dib.Height() <= 0) return p;
    const size_t size = static_cast<size_t>(dib.BytesPerScanLine()) * dib.Height();
    p.isBitmap = true;
    p.width = dib.Width();
    p.height = dib.Height();
    p.bits.assign(bits, bits + size);
    p.xPelsPerMeter = dib.Header().biXPelsPerMeter;
    p.yPelsPerMeter = dib.Header().biYPelsPerMeter;
    return p;
}

}  // namespace folioray
