#pragma once
// Errors of the continue-on-error model: a number, a source and a description.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

// Standard error numbers the control raises or reports.
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kBadFileName = 52;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kDeviceIO = 57;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kTooManyFiles = 67;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathFileAccess = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kCantCreateObject = 429;
inline constexpr int32_t kNotSupported = 438;
inline constexpr int32_t kInvalidPicture = 481;
inline constexpr int32_t kCantOpenClipboard = 521;
inline constexpr int32_t kJpegLibrary = 26001;
}  // namespace err

// The standard description of an error number ("File not found", ...).
FOLIORAY_CORE_EXPORT std::string ErrorDescription(int32_t number);

// Maps a POSIX errno to the error number a file operation reports.
// `path` lets ENOENT tell a missing file from a missing folder.
FOLIORAY_CORE_EXPORT int32_t ErrorNumberFromErrno(int e, const std::string& path = {});

class FOLIORAY_CORE_EXPORT VbError : public std::runtime_error {
  public:
    VbError(int32_t number, std::string source, std::string description);
    explicit VbError(int32_t number);  // standard description, no source
    int32_t Number() const { return number_; }
    const std::string& Source() const { return source_; }
    const std::string& Description() const { return description_; }

  private:
    int32_t number_;
    std::string source_;
    std::string description_;
};

// Throws the VbError for a failed file operation on `path`.
[[noreturn]] FOLIORAY_CORE_EXPORT void ThrowFileError(int e, const std::string& path);

}  // namespace folioray
