#pragma once
// Pictures as the clipboard carries them: a 40-byte BITMAPINFOHEADER (24-bit, BI_RGB,
// no colour table) followed by the rows, bottom-up and padded to 4 bytes.
#include <cstdint>
#include <vector>

#include "ports/Picture.h"

namespace folioray {

class CDIBSection;

inline constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Empty when the picture is not a well-formed bitmap (not a bitmap, no size, or fewer
// pixel bytes than its size needs).
std::vector<uint8_t> MakeDib(const Picture& picture);
// The same from raw 24-bit rows of `stride` bytes (stride >= width * 3).
std::vector<uint8_t> MakeDib(int32_t width, int32_t height, int32_t stride, const uint8_t* bits);

// A copy of the object's pixels as a picture; not a bitmap when the object is empty.
Picture ToPicture(const CDIBSection& dib);

}  // namespace folioray
