#pragma once
// Writes a CDIBSection to a JPEG file through the JPEG library port. A file already
// at that name is replaced, and the new file takes over its access and modification
// times and its permission bits.
#include <cstdint>
#include <string>

namespace folioray {

class CDIBSection;
class JpegLibrary;

// Source of the errors the writer raises.
inline constexpr const char* kJpegErrorSource = "Folioray2.mIntelJPEGLibrary";

// True when written. Failures raise VbError: 26001 for the library's (init or write)
// failures, the file system's error when an existing file cannot be removed.
bool SaveJpegFile(JpegLibrary& library, CDIBSection& picture, const std::string& fileName,
                  int32_t quality);

}  // namespace folioray
