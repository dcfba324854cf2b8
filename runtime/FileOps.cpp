#include "runtime/FileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/VbError.h"

namespace folioray {

OutputFile::~OutputFile() {
    if (f_) std::fclose(f_);
}

void OutputFile::Open(const std::string& path) {
    if (f_) Close();
    if (path.empty()) throw VbError(err::kBadFileName);
    // Never follow a link planted at a working-file name: truncating would hit its target.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) ThrowFileError(errno, path);
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        int e = errno;
        ::close(fd);
        ThrowFileError(e, path);
    }
    f_ = f;
    path_ = path;
}

void OutputFile::Print(const std::string& line) {
    if (!f_) throw VbError(err::kBadFileName);
    std::string out = line + "\r\n";
    if (std::fwrite(out.data(), 1, out.size(), f_) != out.size()) ThrowFileError(errno, path_);
}

void OutputFile::Close() {
    if (!f_) return;
    std::FILE* f = f_;
    f_ = nullptr;
    int flushed = std::fflush(f);
    int e = errno;
    int closed = std::fclose(f);
    if (flushed != 0) ThrowFileError(e, path_);
    if (closed != 0) ThrowFileError(errno, path_);
}

void DeleteFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) ThrowFileError(errno, path);
    if (S_ISDIR(st.st_mode)) throw VbError(err::kPathFileAccess);
    if (::unlink(path.c_str()) != 0) ThrowFileError(errno, path);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t FileLength(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) ThrowFileError(errno, path);
    return static_cast<int64_t>(st.st_size);
}

}  // namespace folioray
