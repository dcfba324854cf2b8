#include "runtime/VbError.h"

#include <cerrno>
#include <filesystem>
#include <new>

namespace folioray {

std::string ErrorDescription(int32_t number) {
    switch (number) {
        case 0:
            return {};
        case 3:
            return "Return without GoSub";
        case 5:
            return "Invalid procedure call or argument";
        case 6:
            return "Overflow";
        case 7:
            return "Out of memory";
        case 9:
            return "Subscript out of range";
        case 10:
            return "This array is fixed or temporarily locked";
        case 11:
            return "Division by zero";
        case 13:
            return "Type mismatch";
        case 28:
            return "Out of stack space";
        case 48:
            return "Error in loading DLL";
        case 51:
            return "Internal error";
        case 52:
            return "Bad file name or number";
        case 53:
            return "File not found";
        case 54:
            return "Bad file mode";
        case 55:
            return "File already open";
        case 57:
            return "Device I/O error";
        case 58:
            return "File already exists";
        case 61:
            return "Disk full";
        case 62:
            return "Input past end of file";
        case 67:
            return "Too many files";
        case 68:
            return "Device unavailable";
        case 70:
            return "Permission denied";
        case 71:
            return "Disk not ready";
        case 74:
            return "Can't rename with different drive";
        case 75:
            return "Path/File access error";
        case 76:
            return "Path not found";
        case 91:
            return "Object variable or With block variable not set";
        case 94:
            return "Invalid use of Null";
        case 380:
            return "Invalid property value";
        case 424:
            return "Object required";
        case 429:
            return "ActiveX component can't create object";
        case 438:
            return "Object doesn't support this property or method";
        case 448:
            return "Named argument not found";
        case 449:
            return "Argument not optional";
        case 453:
            return "Specified DLL function not found";
        case 481:
            return "Invalid picture";
        case 521:
            return "Can't open Clipboard";
        default:
            return "Application-defined or object-defined error";
    }
}

int32_t ErrorNumberFromErrno(int e, const std::string& path) {
    switch (e) {
        case ENOENT: {
            if (!path.empty()) {
                std::error_code ec;
                auto parent = std::filesystem::path(path).parent_path();
                if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
                    return err::kPathNotFound;
                }
            }
            return err::kFileNotFound;
        }
        case ENOTDIR:
            return err::kPathNotFound;
        case EACCES:
        case EPERM:
        case ETXTBSY:
        case EBUSY:
            return err::kPermissionDenied;
        case EROFS:
        case EISDIR:
        case EEXIST:
        case ELOOP:
            return err::kPathFileAccess;
        case ENAMETOOLONG:
        case EINVAL:
        case EILSEQ:
            return err::kBadFileName;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return err::kDiskFull;
        case EMFILE:
        case ENFILE:
            return err::kTooManyFiles;
        case ENOMEM:
            return err::kOutOfMemory;
        case EIO:
        default:
            return err::kDeviceIO;
    }
}

VbError::VbError(int32_t number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

VbError::VbError(int32_t number) : VbError(number, {}, ErrorDescription(number)) {}

void ThrowFileError(int e, const std::string& path) {
    throw VbError(ErrorNumberFromErrno(e, path));
}

}  // namespace folioray
