#pragma once
// Picture files for --paste-image, turned into the DIB a clipboard carries. A BMP file
// gives its own DIB unchanged (so the paste reads it as it is, hostile or not); JPEG,
// PNG and PNM (P4, P5, P6) are decoded to 24 bits.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ports/Picture.h"
#include "runtime/ClipboardDib.h"

namespace folioray {

// Throws std::runtime_error with the reason when the file cannot be read or decoded.
std::vector<uint8_t> ClipboardDibFromFile(const std::string& path);

// The same for the file's bytes. A picture of more than `maxPixels` pixels is refused
// before its pixels are allocated.
std::vector<uint8_t> ClipboardDibFromBytes(const std::vector<uint8_t>& file,
                                           uint64_t maxPixels = kMaxDibPixels);

// The picture of a binary PNM file (P4 bitmap, P5 grey, P6 colour; 8 or 16 bits).
Picture PictureFromPnm(const uint8_t* data, size_t size, uint64_t maxPixels = kMaxDibPixels);

}  // namespace folioray
