#include "runtime/ClipboardDib.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

#include "runtime/VbError.h"

namespace folioray {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

[[noreturn]] void Invalid() {
    throw VbError(err::kInvalidPicture);
}

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) {
    return static_cast<int32_t>(U32(p));
}

// One colour channel of a 16- or 32-bit pixel, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (m != 0) {
            shift = std::countr_zero(m);
            max = m >> shift;
        }
    }
    uint8_t Of(uint32_t px) const {
        if (max == 0) return 0;
        const uint64_t v = (px & mask) >> shift;  // never above max
        return static_cast<uint8_t>((v * 255 + max / 2) / max);
    }
};

struct Bgr {
    uint8_t b = 0, g = 0, r = 0;
};

struct Header {
    uint32_t size = 0;
    int64_t width = 0;
    int64_t height = 0;  // always positive here
    bool topDown = false;
    uint16_t bitCount = 0;
    uint32_t compression = kBiRgb;
    uint32_t clrUsed = 0;
    size_t entrySize = 4;                          // RGBQUAD; the core header uses RGBTRIPLE
    std::optional<std::array<uint32_t, 3>> masks;  // red, green, blue
};

Header ReadHeader(const uint8_t* data, size_t size) {
    if (size < 4) Invalid();
    Header h;
    h.size = U32(data);
    if (h.size == 12) {
        if (size < 12) Invalid();
        h.width = U16(data + 4);
        h.height = U16(data + 6);
        if (U16(data + 8) != 1) Invalid();
        h.bitCount = U16(data + 10);
        if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24) Invalid();
        h.entrySize = 3;
        return h;
    }
    if (h.size != 40 && h.size != 52 && h.size != 56 && h.size != 108 && h.size != 124) {
        Invalid();
    }
    if (size < h.size) Invalid();
    h.width = I32(data + 4);
    const int32_t rawHeight = I32(data + 8);
    if (U16(data + 12) != 1) Invalid();
    h.bitCount = U16(data + 14);
    h.compression = U32(data + 16);
    h.clrUsed = U32(data + 32);
    // INT32_MIN has no positive counterpart; a zero height has no rows.
    if (rawHeight == 0 || rawHeight == INT32_MIN) Invalid();
    h.topDown = rawHeight < 0;
    h.height = h.topDown ? -static_cast<int64_t>(rawHeight) : rawHeight;
    if (h.size >= 52)
        h.masks = std::array<uint32_t, 3>{U32(data + 40), U32(data + 44), U32(data + 48)};
    return h;
}

struct Layout {
    Header h;
    std::array<uint32_t, 3> masks{};
    std::vector<Bgr> palette;
    uint64_t bitsOffset = 0;  // straight after the colour table
};

Layout ReadLayout(const uint8_t* data, size_t size) {
    if (data == nullptr) Invalid();
    Layout l;
    Header& h = l.h;
    h = ReadHeader(data, size);
    if (h.width <= 0 || h.height <= 0) Invalid();

    const uint16_t bpp = h.bitCount;
    const bool bitfields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    switch (bpp) {
        case 1:
        case 4:
        case 8:
        case 24:
            if (h.compression != kBiRgb) Invalid();  // RLE and embedded JPEG/PNG are refused
            break;
        case 16:
        case 32:
            if (h.compression != kBiRgb && !bitfields) Invalid();
            break;
        default:
            Invalid();
    }

    uint64_t offset = h.size;
    std::array<uint32_t, 3>& masks = l.masks;
    if (bitfields) {
        if (h.size == 40) {
            // A plain info header keeps its masks straight after it.
            const uint64_t count = h.compression == kBiAlphaBitfields ? 4 : 3;
            if (size - offset < count * 4) Invalid();
            for (size_t i = 0; i < 3; ++i) masks[i] = U32(data + offset + i * 4);
            offset += count * 4;
        } else {
            masks = *h.masks;
        }
    } else if (bpp == 16) {
        masks = {0x7C00, 0x03E0, 0x001F};
    } else if (bpp == 32) {
        masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
    }

    // The colour table: a palette up to 8 bits, an optional (skipped) list above that.
    uint64_t entries = h.clrUsed;
    if (bpp <= 8) {
        const uint64_t maxColours = uint64_t{1} << bpp;
        if (h.entrySize == 3 || entries == 0) entries = maxColours;
        if (entries > maxColours) Invalid();
    }
    if (entries > (size - offset) / h.entrySize) Invalid();
    if (bpp <= 8) {
        l.palette.resize(size_t{1} << bpp);  // indices past the table's end read as black
        for (uint64_t i = 0; i < entries; ++i) {
            const uint8_t* e = data + offset + i * h.entrySize;
            l.palette[i] = {e[0], e[1], e[2]};
        }
    }
    l.bitsOffset = offset + entries * h.entrySize;
    return l;
}

}  // namespace

size_t PackedDibBitsOffset(const uint8_t* data, size_t size) {
    return static_cast<size_t>(ReadLayout(data, size).bitsOffset);
}

Picture PictureFromDib(const std::vector<uint8_t>& dib) {
    return PictureFromDib(dib.data(), dib.size());
}

Picture PictureFromSharedDib(const std::shared_ptr<const std::vector<uint8_t>>& dib) {
    if (!dib) Invalid();
    const uint8_t* data = dib->data();
    const size_t size = dib->size();
    const Layout l = ReadLayout(data, size);
    const Header& h = l.h;
    if (h.bitCount != 24 || h.topDown) return PictureFromDib(data, size);
    const uint64_t stride = (static_cast<uint64_t>(h.width) * 3 + 3) & ~uint64_t{3};
    const uint64_t height = static_cast<uint64_t>(h.height);
    if (l.bitsOffset > size || height > (size - l.bitsOffset) / stride) Invalid();
    if (static_cast<uint64_t>(h.width) > kMaxDibPixels / height) throw VbError(err::kOutOfMemory);
    Picture pic;
    pic.isBitmap = true;
    pic.width = static_cast<int32_t>(h.width);
    pic.height = static_cast<int32_t>(h.height);
    pic.shared = dib;
    pic.sharedOffset = static_cast<size_t>(l.bitsOffset);
    if (h.size >= 40) {
        pic.xPelsPerMeter = std::max(0, I32(data + 24));
        pic.yPelsPerMeter = std::max(0, I32(data + 28));
    }
    return pic;
}

Picture PictureFromDib(const uint8_t* data, size_t size) {
    return PictureFromDib(data, size, SIZE_MAX);
}

Picture PictureFromDib(const uint8_t* data, size_t size, size_t bitsOffset) {
    const Layout l = ReadLayout(data, size);
    const Header& h = l.h;
    const uint16_t bpp = h.bitCount;
    const std::vector<Bgr>& palette = l.palette;
    const std::array<uint32_t, 3>& masks = l.masks;
    uint64_t offset = bitsOffset != SIZE_MAX ? bitsOffset : l.bitsOffset;
    if (offset > size) Invalid();

    const uint64_t width = static_cast<uint64_t>(h.width);
    const uint64_t height = static_cast<uint64_t>(h.height);
    const uint64_t srcStride = (width * bpp + 31) / 32 * 4;  // width < 2^31, bpp <= 32
    if (height > (size - offset) / srcStride) Invalid();
    if (width > kMaxDibPixels / height) throw VbError(err::kOutOfMemory);

    Picture pic;
    pic.isBitmap = true;
    pic.width = static_cast<int32_t>(width);
    pic.height = static_cast<int32_t>(height);
    const size_t dstStride = static_cast<size_t>(pic.Stride());
    pic.bits.assign(dstStride * height, 0);
    if (h.size >= 40) {
        pic.xPelsPerMeter = std::max(0, I32(data + 24));
        pic.yPelsPerMeter = std::max(0, I32(data + 28));
    }

    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    const uint8_t* src0 = data + offset;
    for (uint64_t row = 0; row < height; ++row) {
        const uint8_t* s = src0 + row * srcStride;
        // The picture is bottom-up; a top-down DIB's first row is the picture's last.
        uint8_t* d = pic.bits.data() + (h.topDown ? height - 1 - row : row) * dstStride;
        switch (bpp) {
            case 24:
                std::memcpy(d, s, width * 3);
                break;
            case 1:
            case 4:
            case 8: {
                const unsigned perByte = 8 / bpp;
                const unsigned valueMask = (1u << bpp) - 1;
                for (uint64_t x = 0; x < width; ++x) {
                    const unsigned shift = static_cast<unsigned>(8 - bpp - (x % perByte) * bpp);
                    const Bgr& c = palette[(s[x / perByte] >> shift) & valueMask];
                    d[x * 3] = c.b;
                    d[x * 3 + 1] = c.g;
                    d[x * 3 + 2] = c.r;
                }
                break;
            }
            case 16:
                for (uint64_t x = 0; x < width; ++x) {
                    const uint32_t px = U16(s + x * 2);
                    d[x * 3] = blue.Of(px);
                    d[x * 3 + 1] = green.Of(px);
                    d[x * 3 + 2] = red.Of(px);
                }
                break;
            case 32:
                for (uint64_t x = 0; x < width; ++x) {
                    const uint32_t px = U32(s + x * 4);
                    d[x * 3] = blue.Of(px);
                    d[x * 3 + 1] = green.Of(px);
                    d[x * 3 + 2] = red.Of(px);
                }
                break;
        }
    }
    return pic;
}

namespace {

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Rows of 24-bit pixels padded to four bytes; -1 when the width is out of range.
int64_t DibStride(int64_t width) {
    const int64_t s = (width * 3 + 3) & ~int64_t{3};
    if (width < 0 || s > INT32_MAX) return -1;
    return s;
}

}  // namespace

std::vector<uint8_t> MakeDib(int32_t width, int32_t height, int32_t stride, const uint8_t* bits) {
    if (width <= 0 || height <= 0 || !bits) return {};
    const int64_t outStride = DibStride(width);
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
    const int64_t stride = DibStride(picture.width);
    if (stride < 0 || stride * picture.height > static_cast<int64_t>(picture.PixelBytes())) {
        return {};
    }
    std::vector<uint8_t> dib =
        MakeDib(picture.width, picture.height, static_cast<int32_t>(stride), picture.Pixels());
    if (!dib.empty()) {
        Put32(dib, 24, static_cast<uint32_t>(std::max(0, picture.xPelsPerMeter)));
        Put32(dib, 28, static_cast<uint32_t>(std::max(0, picture.yPelsPerMeter)));
    }
    return dib;
}

}  // namespace folioray
