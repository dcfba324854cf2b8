#include "runtime/JfifDensity.h"

#include <cmath>
#include <cstring>

namespace folioray {

namespace {

constexpr double kMetresPerInch = 0.0254;
// SOI, APP0 marker, length, "JFIF\0", version: the units byte follows at 13.
constexpr size_t kUnitsAt = 13;
constexpr size_t kMinApp0 = 18;

bool HasApp0(const uint8_t* jpeg, size_t size) {
    return jpeg && size >= kMinApp0 && jpeg[0] == 0xFF && jpeg[1] == 0xD8 && jpeg[2] == 0xFF &&
           jpeg[3] == 0xE0 && ((jpeg[4] << 8) | jpeg[5]) >= 16 &&
           std::memcmp(jpeg + 6, "JFIF\0", 5) == 0;
}

}  // namespace

int32_t PelsPerMeterFromDpi(double dpi) {
    const double ppm = std::round(dpi / kMetresPerInch);
    return std::isfinite(ppm) && ppm > 0 && ppm < INT32_MAX ? static_cast<int32_t>(ppm) : 0;
}

int32_t DpiFromPelsPerMeter(int32_t pelsPerMeter) {
    if (pelsPerMeter <= 0) return 0;
    return static_cast<int32_t>(std::lround(pelsPerMeter * kMetresPerInch));
}

bool SetJfifDpi(uint8_t* jpeg, size_t size, int32_t dpiX, int32_t dpiY) {
    if (!HasApp0(jpeg, size) || dpiX < 1 || dpiX > 65535 || dpiY < 1 || dpiY > 65535) {
        return false;
    }
    uint8_t* d = jpeg + kUnitsAt;
    d[0] = 1;  // dots per inch
    d[1] = static_cast<uint8_t>(dpiX >> 8);
    d[2] = static_cast<uint8_t>(dpiX);
    d[3] = static_cast<uint8_t>(dpiY >> 8);
    d[4] = static_cast<uint8_t>(dpiY);
    return true;
}

bool GetJfifDpi(const uint8_t* jpeg, size_t size, double& dpiX, double& dpiY) {
    if (!HasApp0(jpeg, size)) return false;
    const uint8_t* d = jpeg + kUnitsAt;
    const double x = (d[1] << 8) | d[2];
    const double y = (d[3] << 8) | d[4];
    if (x <= 0 || y <= 0 || (d[0] != 1 && d[0] != 2)) return false;
    const double perInch = d[0] == 2 ? 2.54 : 1.0;
    dpiX = x * perInch;
    dpiY = y * perInch;
    return true;
}

}  // namespace folioray
