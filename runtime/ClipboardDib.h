#pragma once
// Reads a packed device-independent bitmap, as the clipboard's CF_DIB holds it, into a
// picture of 24-bit rows. Accepted: BITMAPCOREHEADER, BITMAPINFOHEADER and its V2 to V5
// extensions; 1, 4 and 8 bits with a colour table; 16 and 32 bits as BI_RGB or with
// bit-field masks; 24 bits; rows bottom-up or top-down. Every header field is checked
// against the byte count before a pixel is read; anything else throws VbError 481
// ("Invalid picture"), and a picture too large to hold throws VbError 7.
// The other way, pictures go onto the clipboard as a 40-byte BITMAPINFOHEADER (24-bit,
// BI_RGB, no colour table) followed by the rows, bottom-up and padded to 4 bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ports/Picture.h"

namespace folioray {

// The most pixels a pasted or scanned picture may have (about 800 MB at 24 bits).
inline constexpr uint64_t kMaxDibPixels = uint64_t{1} << 28;

Picture PictureFromDib(const uint8_t* data, size_t size);
Picture PictureFromDib(const std::vector<uint8_t>& dib);
// The same, sharing the DIB's bytes instead of copying them when they already are the
// picture's rows (24 bits, bottom-up); anything else is converted once.
Picture PictureFromSharedDib(const std::shared_ptr<const std::vector<uint8_t>>& dib);
// A bitmap file's DIB, whose pixels start `bitsOffset` bytes into `data` rather than
// straight after the colour table.
Picture PictureFromDib(const uint8_t* data, size_t size, size_t bitsOffset);
// Where a packed DIB's pixels start (after header, masks and colour table); VbError 481
// when the header is not one PictureFromDib accepts.
size_t PackedDibBitsOffset(const uint8_t* data, size_t size);

inline constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Empty when the picture is not a well-formed bitmap (not a bitmap, no size, or fewer
// pixel bytes than its size needs).
std::vector<uint8_t> MakeDib(const Picture& picture);
// The same from raw 24-bit rows of `stride` bytes (stride >= width * 3).
std::vector<uint8_t> MakeDib(int32_t width, int32_t height, int32_t stride, const uint8_t* bits);

}  // namespace folioray
