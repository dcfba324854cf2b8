#pragma once
// The resolution fields of a JFIF APP0 segment at the start of a JPEG stream.
#include <cstddef>
#include <cstdint>

namespace folioray {

// Pixels per metre from dots per inch and back; 0 stays unknown.
int32_t PelsPerMeterFromDpi(double dpi);
int32_t DpiFromPelsPerMeter(int32_t pelsPerMeter);

// Writes the density (dots per inch) into the stream's leading APP0 segment, leaving
// every other byte as it is. False when the stream has no such segment or a density is
// outside 1..65535.
bool SetJfifDpi(uint8_t* jpeg, size_t size, int32_t dpiX, int32_t dpiY);

// The density the stream's APP0 names, in dots per inch; false when it names none.
bool GetJfifDpi(const uint8_t* jpeg, size_t size, double& dpiX, double& dpiY);

}  // namespace folioray
