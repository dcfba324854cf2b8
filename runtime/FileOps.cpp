#include "runtime/FileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

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

void OutputFile::Close(bool sync) {
    if (!f_) return;
    std::FILE* f = f_;
    f_ = nullptr;
    int flushed = std::fflush(f);
    // A delayed block allocation (or a server's refusal, over NFS) shows only here.
    if (flushed == 0 && sync) flushed = ::fsync(::fileno(f));
    int e = errno;
    int closed = std::fclose(f);
    if (flushed != 0) ThrowFileError(e, path_);
    if (closed != 0) ThrowFileError(errno, path_);
}

int ReplaceFileWith(const std::string& path, const void* data, size_t size) {
    if (path.empty() || path.find('\0') != std::string::npos) return ENOENT;
    std::random_device random;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
        temp = path + suffix;
        // O_EXCL: never an existing file or a planted link.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    const auto* p = static_cast<const char*>(data);
    size_t left = size;
    int e = 0;
    while (left > 0 && e == 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno != EINTR) e = errno;
        if (n > 0) {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    if (e == 0 && ::fsync(fd) != 0) e = errno;
    if (::close(fd) != 0 && e == 0) e = errno;
    if (e == 0 && ::rename(temp.c_str(), path.c_str()) != 0) e = errno;
    if (e != 0) ::unlink(temp.c_str());
    return e;
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
