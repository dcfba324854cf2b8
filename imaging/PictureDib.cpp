#include "imaging/PictureDib.h"

#include "imaging/CDIBSection.h"

namespace folioray {

Picture ToPicture(const CDIBSection& dib) {
    Picture p;
    const uint8_t* bits = dib.Bits();
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
