#pragma once
// The JPEG library the writer drives: init / write / free over one properties record.
// A call returns IJL_OK (0) on success and a negative code on failure.
#include <cstdint>
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

// I/O type of ijlWrite: compress the whole DIB into the file named in JPGFile.
inline constexpr int IJL_JFILE_WRITEWHOLEIMAGE = 8;

enum IJLERR : int {
    IJL_OK = 0,
    IJL_NOT_INITIALISED = -1,     // write before init, or after free
    IJL_INVALID_PROPERTIES = -2,  // sizes, channels, colours or quality the library refuses
    IJL_UNSUPPORTED_IO = -3,      // an I/O type other than the ones above
    IJL_INVALID_FILENAME = -4,    // no file name, or an empty one
    IJL_FILE_ERROR = -5,          // the file could not be created or written
    IJL_ENCODER_ERROR = -6,       // the compressor failed
    IJL_MEMORY_ERROR = -7,        // no memory for the library state or the output
};

enum IJL_COLOR : int { IJL_RGB = 1, IJL_BGR = 2, IJL_YCBCR = 3, IJL_G = 4, IJL_OTHER = 255 };

// Chroma subsampling of the JPEG: IJL_411 keeps one chroma sample per 2x2 block
// (what libjpeg calls 4:2:0), IJL_422 one per 2x1, IJL_NONE one per pixel.
enum IJL_JPGSUBSAMPLING : int { IJL_NONE = 0, IJL_411 = 1, IJL_422 = 2 };

// Zero-filled by the caller, then given its defaults by ijlInit.
struct JPEG_CORE_PROPERTIES {
    // The picture in memory. DIBHeight < 0: rows stored bottom-up; > 0: top-down.
    // A row is DIBWidth * DIBChannels bytes followed by DIBPadBytes bytes of padding.
    uint8_t* DIBBytes;
    int32_t DIBWidth;
    int32_t DIBHeight;
    int32_t DIBPadBytes;
    int32_t DIBChannels;  // ijlInit: 3
    int32_t DIBColor;     // ijlInit: IJL_BGR

    // The JPEG side. JPGFile is a 0-terminated name in the platform's narrow encoding.
    const char* JPGFile;
    int32_t JPGWidth;
    int32_t JPGHeight;
    int32_t JPGChannels;     // ijlInit: 3
    int32_t JPGColor;        // ijlInit: IJL_YCBCR
    int32_t JPGSubsampling;  // ijlInit: IJL_411
    int32_t jquality;        // 0 to 100; ijlInit: 75
    // JFIF density in dots per inch, both or neither; 0 leaves the library's default.
    int32_t jfifXDensity;
    int32_t jfifYDensity;

    void* state;  // the library's own, between ijlInit and ijlFree
};

class FOLIORAY_CORE_EXPORT JpegLibrary {
  public:
    virtual ~JpegLibrary() = default;
    virtual int ijlInit(JPEG_CORE_PROPERTIES* jcprops) = 0;
    virtual int ijlWrite(JPEG_CORE_PROPERTIES* jcprops, int ioType) = 0;
    virtual int ijlFree(JPEG_CORE_PROPERTIES* jcprops) = 0;
    // Why the last failing write failed, in the library's own words; empty when it
    // gives none.
    virtual std::string LastErrorText() const { return {}; }
    // A page about to be scanned will be written next, at this quality: a library may
    // compress it while it is read. Only a hint; no result depends on it.
    virtual void ExpectPage(int32_t /*quality*/) noexcept {}
};

}  // namespace folioray
