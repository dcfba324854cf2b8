#pragma once
// Device contexts and bitmaps of our own, behind integer handles as the control's
// picture code expects them. Every bitmap is 24-bit: rows bottom-up, blue, green, red,
// each row padded to 4 bytes. Coordinates of BitBlt count from the top-left corner.
// Handles are never reused; an unknown handle makes a call fail, it never crashes.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "ports/Picture.h"

namespace folioray::gdi {

// Raster operations: the classic ternary codes. The pattern is the white brush every
// device context starts with, so every code is accepted.
inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr uint32_t SRCPAINT = 0x00EE0086;
inline constexpr uint32_t SRCAND = 0x008800C6;
inline constexpr uint32_t SRCINVERT = 0x00660046;
inline constexpr uint32_t SRCERASE = 0x00440328;
inline constexpr uint32_t NOTSRCCOPY = 0x00330008;
inline constexpr uint32_t NOTSRCERASE = 0x001100A6;
inline constexpr uint32_t MERGEPAINT = 0x00BB0226;
inline constexpr uint32_t DSTINVERT = 0x00550009;
inline constexpr uint32_t BLACKNESS = 0x00000042;
inline constexpr uint32_t WHITENESS = 0x00FF0062;

// The largest pixel block one bitmap may hold; bigger requests are refused.
inline constexpr int64_t kMaxBitmapBytes = int64_t{1} << 30;

// Bytes per row of a 24-bit bitmap, or -1 when it does not fit in 32 bits.
int64_t Stride24(int64_t width);

// A zero-filled bitmap; *bits receives its first pixel byte. 0 (and *bits null) when
// the size is not positive or the pixels would exceed kMaxBitmapBytes or memory.
intptr_t CreateDIBSection(int32_t width, int32_t height, uint8_t** bits);
// A bitmap over rows that `owner` keeps alive and others share: it can be read from, never
// drawn into. 0 on the same grounds as CreateDIBSection, or when `bytes` is too few.
intptr_t CreateSharedBitmap(int32_t width, int32_t height, const uint8_t* bits, size_t bytes,
                            std::shared_ptr<const void> owner);
// A bitmap like the screen's (24-bit here), zero-filled.
intptr_t CreateCompatibleBitmap(intptr_t hdc, int32_t width, int32_t height);
// A memory device context holding a 1x1 stock bitmap until another one is selected.
intptr_t CreateCompatibleDC(intptr_t hdc);
// Deletes the device context; the bitmap it held survives.
bool DeleteDC(intptr_t hdc);
// Selects a bitmap into a device context; returns the one it held before, 0 on failure
// (unknown handles, or a bitmap already selected into another device context).
intptr_t SelectObject(intptr_t hdc, intptr_t hbm);
// Deletes a bitmap; refused while it is selected into a device context.
bool DeleteObject(intptr_t hbm);
// The bitmap currently selected into a device context (0 for an unknown handle).
intptr_t GetCurrentBitmap(intptr_t hdc);

struct BitmapInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    uint8_t* bits = nullptr;
};
bool GetBitmap(intptr_t hbm, BitmapInfo& info);

// Copies w x h pixels from (sx, sy) of src to (x, y) of dst through the raster
// operation; the parts that fall outside either bitmap are left alone. src may be 0
// when the operation does not read the source.
bool BitBlt(intptr_t dst, int32_t x, int32_t y, int32_t w, int32_t h, intptr_t src, int32_t sx,
            int32_t sy, uint32_t rop);

// Bitmaps plus device contexts alive (for leak checks).
size_t LiveObjects();

// A device context over a picture's own pixels for as long as it lives. Over a const
// picture it can only be read from. hdc() is 0 when the picture is not a well-formed
// bitmap. The picture must outlive it and keep its pixel vector unchanged in size.
class PictureDC {
  public:
    explicit PictureDC(Picture& picture);
    explicit PictureDC(const Picture& picture);
    ~PictureDC();
    PictureDC(const PictureDC&) = delete;
    PictureDC& operator=(const PictureDC&) = delete;
    intptr_t hdc() const { return hdc_; }

  private:
    void Open(const Picture& picture, bool writable);
    intptr_t hdc_ = 0;
    intptr_t hbm_ = 0;
    intptr_t old_ = 0;
};

}  // namespace folioray::gdi
