#pragma once
// The image acquisition library: three calls, 16-bit results.
#include <cstdint>

#include "folioray2/core_export.h"

namespace folioray {

class FOLIORAY_CORE_EXPORT Scanner {
  public:
    virtual ~Scanner() = default;
    // 0: no acquisition support on this system.
    virtual int16_t TWAIN_IsAvailable() = 0;
    // Returns when the acquisition has ended; non-zero: one image lies on the clipboard as
    // a device-independent bitmap. 0: nothing acquired (failure or cancellation).
    virtual int16_t TWAIN_AcquireToClipboard(intptr_t hwndApp, uint32_t wPixTypes) = 0;
    // Lets the user choose the source of later acquisitions.
    virtual int16_t TWAIN_SelectImageSource(intptr_t hwnd) = 0;
};

}  // namespace folioray
