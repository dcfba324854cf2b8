#include "imaging/IntelJPGLibrary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "imaging/CDIBSection.h"
#include "ports/JpegLibrary.h"
#include "runtime/JfifDensity.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

// Frees the library state on every way out once ijlInit has succeeded.
class LibraryState {
  public:
    LibraryState(JpegLibrary& library, JPEG_CORE_PROPERTIES& props)
        : library_(library), props_(props) {}
    ~LibraryState() {
        try {
            library_.ijlFree(&props_);
        } catch (...) {
            // Its result is not used; neither is a failure to free.
        }
    }
    LibraryState(const LibraryState&) = delete;
    LibraryState& operator=(const LibraryState&) = delete;

  private:
    JpegLibrary& library_;
    JPEG_CORE_PROPERTIES& props_;
};

int32_t Checked32(int64_t v) {
    if (v > INT32_MAX || v < INT32_MIN) throw VbError(err::kOverflow);
    return static_cast<int32_t>(v);
}

// The replaced file's times and permission bits go to the new file. The file systems
// here keep no settable creation time, so that one is not carried over.
void RestoreEntry(const std::string& fileName, const struct stat& old) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    const struct timespec times[2] = {old.st_atim, old.st_mtim};
    (void)::futimens(fd, times);
    (void)::fchmod(fd, old.st_mode & 0777);
    ::close(fd);
}

}  // namespace

bool SaveJpegFile(JpegLibrary& library, CDIBSection& picture, const std::string& fileName,
                  int32_t quality) {
    JPEG_CORE_PROPERTIES props{};
    const int initResult = library.ijlInit(&props);
    if (initResult != IJL_OK) {
        throw VbError(err::kJpegLibrary, kJpegErrorSource,
                      "Failed to initialise the IJL library: " + std::to_string(initResult));
    }
    LibraryState state(library, props);

    // With a NUL inside, the name would reach the system as a different, shorter one:
    // such a name is handed on as no name at all and nothing on disk is looked at.
    const bool usableName = !fileName.empty() && fileName.find('\0') == std::string::npos;

    struct stat entry {};
    bool existed = false;
    bool haveAttributes = false;
    if (usableName && ::lstat(fileName.c_str(), &entry) == 0) {
        existed = true;
        haveAttributes = !S_ISLNK(entry.st_mode) || ::stat(fileName.c_str(), &entry) == 0;
    }
    if (existed) {
        // A file nobody may write counts as read-only, which refuses deletion.
        if (S_ISREG(entry.st_mode) && (entry.st_mode & 0222) == 0) {
            ThrowFileError(EACCES, fileName);
        }
        if (::unlink(fileName.c_str()) != 0) ThrowFileError(errno, fileName);
    }

    props.DIBWidth = picture.Width();
    props.DIBHeight = Checked32(-int64_t{picture.Height()});  // bottom-up rows
    // Only read: rows shared with Image2 stay shared.
    props.DIBBytes = const_cast<uint8_t*>(picture.Bits());
    props.DIBPadBytes =
        Checked32(int64_t{picture.BytesPerScanLine()} - int64_t{picture.Width()} * 3);

    std::vector<char> narrowName;
    if (usableName) narrowName.assign(fileName.begin(), fileName.end());
    narrowName.push_back('\0');
    props.JPGFile = narrowName.data();
    props.JPGWidth = picture.Width();
    props.JPGHeight = picture.Height();
    props.jquality = quality;
    props.jfifXDensity = DpiFromPelsPerMeter(picture.Header().biXPelsPerMeter);
    props.jfifYDensity = DpiFromPelsPerMeter(picture.Header().biYPelsPerMeter);

    const int writeResult = library.ijlWrite(&props, IJL_JFILE_WRITEWHOLEIMAGE);
    if (writeResult != IJL_OK) {
        // Whatever a failing library left under the name is not a good picture.
        struct stat left {};
        if (usableName && ::lstat(fileName.c_str(), &left) == 0 && S_ISREG(left.st_mode)) {
            ::unlink(fileName.c_str());
        }
        // The library's own words, when it has them, say which of its failures it was.
        const std::string why = library.LastErrorText();
        throw VbError(err::kJpegLibrary, kJpegErrorSource,
                      "Failed to save to JPG " + std::to_string(writeResult) +
                          (why.empty() ? "" : ": " + why));
    }
    if (existed && haveAttributes) RestoreEntry(fileName, entry);
    return true;
}

}  // namespace folioray
