#include "platform/turbojpeg/TurboJpegLibrary.h"

#include <turbojpeg.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/FileOps.h"
#include "runtime/JfifDensity.h"

namespace folioray {

namespace {

int PixelFormat(const JPEG_CORE_PROPERTIES& p) {
    if (p.DIBChannels == 3 && p.DIBColor == IJL_BGR) return TJPF_BGR;
    if (p.DIBChannels == 3 && p.DIBColor == IJL_RGB) return TJPF_RGB;
    if (p.DIBChannels == 1 && p.DIBColor == IJL_G) return TJPF_GRAY;
    return -1;
}

int Subsampling(const JPEG_CORE_PROPERTIES& p) {
    if (p.JPGColor == IJL_G) return p.JPGChannels == 1 ? TJSAMP_GRAY : -1;
    if (p.JPGColor != IJL_YCBCR || p.JPGChannels != 3) return -1;
    switch (p.JPGSubsampling) {
        case IJL_411:
            return TJSAMP_420;
        case IJL_422:
            return TJSAMP_422;
        case IJL_NONE:
            return TJSAMP_444;
        default:
            return -1;
    }
}

}  // namespace

int TurboJpegLibrary::ijlInit(JPEG_CORE_PROPERTIES* p) {
    if (!p) return IJL_INVALID_PROPERTIES;
    p->DIBChannels = 3;
    p->DIBColor = IJL_BGR;
    p->JPGChannels = 3;
    p->JPGColor = IJL_YCBCR;
    p->JPGSubsampling = IJL_411;
    p->jquality = 75;
    p->state = tjInitCompress();
    return p->state ? IJL_OK : IJL_MEMORY_ERROR;
}

int TurboJpegLibrary::ijlWrite(JPEG_CORE_PROPERTIES* p, int ioType) {
    lastError_.clear();
    if (!p) return IJL_INVALID_PROPERTIES;
    if (!p->state) return IJL_NOT_INITIALISED;
    if (ioType != IJL_JFILE_WRITEWHOLEIMAGE) return IJL_UNSUPPORTED_IO;
    if (!p->JPGFile || !*p->JPGFile) return IJL_INVALID_FILENAME;

    const int pixelFormat = PixelFormat(*p);
    const int subsampling = Subsampling(*p);
    const int64_t width = p->DIBWidth;
    const int64_t height = p->DIBHeight < 0 ? -int64_t{p->DIBHeight} : p->DIBHeight;
    const int64_t pitch = width * p->DIBChannels + p->DIBPadBytes;
    if (pixelFormat < 0 || subsampling < 0 || !p->DIBBytes || width <= 0 || height <= 0 ||
        height > INT32_MAX || p->DIBPadBytes < 0 || pitch > INT32_MAX || p->JPGWidth != width ||
        p->JPGHeight != height || p->jquality < 0 || p->jquality > 100) {
        return IJL_INVALID_PROPERTIES;
    }
    // Negative DIBHeight: the first row in memory is the bottom of the picture.
    const int flags = p->DIBHeight < 0 ? TJFLAG_BOTTOMUP : 0;
    const int quality = p->jquality < 1 ? 1 : p->jquality;

    JpegAhead::Bytes jpeg;
    const auto handle = static_cast<tjhandle>(p->state);
    if (!ahead_->Take(*p, pixelFormat, subsampling, quality, jpeg) &&
        tjCompress2(handle, p->DIBBytes, static_cast<int>(width), static_cast<int>(pitch),
                    static_cast<int>(height), pixelFormat, &jpeg.data, &jpeg.size, subsampling,
                    quality, flags) != 0) {
        lastError_ = tjGetErrorStr2(handle);
        return IJL_ENCODER_ERROR;
    }
    if (p->jfifXDensity > 0 && p->jfifYDensity > 0) {
        SetJfifDpi(jpeg.data, jpeg.size, p->jfifXDensity, p->jfifYDensity);
    }

    // Whole or not at all: a cut-off JPEG must not pass for a picture.
    if (const int error = ReplaceFileWith(p->JPGFile, jpeg.data, jpeg.size); error != 0) {
        lastError_ = std::strerror(error);
        return IJL_FILE_ERROR;
    }
    return IJL_OK;
}

int TurboJpegLibrary::ijlFree(JPEG_CORE_PROPERTIES* p) {
    if (!p) return IJL_INVALID_PROPERTIES;
    if (p->state) tjDestroy(static_cast<tjhandle>(p->state));
    p->state = nullptr;
    return IJL_OK;
}

}  // namespace folioray
