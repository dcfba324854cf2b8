#include "upload/cFTP.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "runtime/Text.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

constexpr const char* kAgent = "Tessaline FTP Client";

// The local file, read sequentially through a buffer of its own (blocks are small and
// many); open and read failures throw VbError.
class LocalFile {
  public:
    explicit LocalFile(const std::string& path) : path_(path), buffer_(kBufferSize) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) ThrowFileError(errno, path);
    }
    ~LocalFile() { Close(); }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    int64_t Length() {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) ThrowFileError(errno, path_);
        if (!S_ISREG(st.st_mode)) throw VbError(err::kPathFileAccess);
        return st.st_size;
    }
    // The next n bytes: in place when the buffer holds them, else gathered into `scratch`.
    const char* Next(char* scratch, size_t n) {
        if (end_ - pos_ >= n) {
            const char* p = buffer_.data() + pos_;
            pos_ += n;
            return p;
        }
        Read(scratch, n);
        return scratch;
    }
    void Read(char* out, size_t n) {
        while (n > 0) {
            if (pos_ == end_) Fill();
            size_t k = std::min(n, end_ - pos_);
            std::memcpy(out, buffer_.data() + pos_, k);
            pos_ += k;
            out += k;
            n -= k;
        }
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    void Fill() {
        ssize_t got;
        do {
            got = ::read(fd_, buffer_.data(), buffer_.size());
        } while (got < 0 && errno == EINTR);
        if (got < 0) throw VbError(err::kDeviceIO);
        if (got == 0) throw VbError(62);  // the file got shorter since its length was taken
        pos_ = 0;
        end_ = static_cast<size_t>(got);
    }

    // Whole blocks, so that a block is rarely split between two reads.
    static constexpr size_t kBufferSize = 1024 * cFTP::kBlockSize;

    std::string path_;
    std::vector<char> buffer_;
    size_t pos_ = 0, end_ = 0;
    int fd_ = -1;
};

}  // namespace

cFTP::cFTP(Internet& internet) : inet_(internet) {
    mSession = inet_.InternetOpenA(kAgent, inet::kOpenTypePreconfig, nullptr, nullptr, 0);
    if (mSession == 0) RecordLastError("InternetOpen");
    mTransferType = inet::kTransferTypeAscii;
    mConnectFlags = 0;
    mConnection = 0;
    inet_.SetWaitCallback([this] {
        if (DoEvents) DoEvents();
    });
}

cFTP::~cFTP() {
    inet_.SetWaitCallback(nullptr);
    // Closing the session closes the connection under it.
    if (mSession != 0) inet_.InternetCloseHandle(mSession);
}

void cFTP::RecordError(int32_t code, const std::string& source) {
    std::string text = inet_.FormatMessage(static_cast<uint32_t>(code), inet::kMessageBufferSize);
    if (size_t z = text.find('\0'); z != std::string::npos) text.resize(z);
    mLastError = source + " error code: " + std::to_string(code) + " Message: " + text;
    if (code == static_cast<int32_t>(inet::kErrorExtendedError)) {
        uint32_t detail = 0;
        std::string response;
        inet_.InternetGetLastResponseInfoA(&detail, response, inet::kResponseBufferSize);
        if (size_t z = response.find('\0'); z != std::string::npos) response.resize(z);
        // Only the server's text can hold the password (a reply that echoes it).
        mLastError = MaskSecret(response, password_);
    }
}

void cFTP::RecordLastError(const std::string& source) {
    RecordError(static_cast<int32_t>(inet_.GetLastError()), source);
}

void cFTP::CloseConnection() {
    if (mConnection != 0) inet_.InternetCloseHandle(mConnection);
    mConnection = 0;
}

bool cFTP::SimpleFTPPutFile(const std::string& sLocal, const std::string& sRemote) {
    if (!inet_.FtpPutFileA(mConnection, sLocal, sRemote, static_cast<uint32_t>(mTransferType), 0)) {
        RecordLastError("SimpleFtpPutFile");
        return false;
    }
    return true;
}

bool cFTP::OpenConnection(const std::string& sServer, const std::string& sUser,
                          const std::string& sPassword) {
    if (mConnection != 0) inet_.InternetCloseHandle(mConnection);
    password_ = sPassword;
    mConnection =
        inet_.InternetConnectA(mSession, sServer, inet::kInvalidPortNumber, sUser, sPassword,
                               inet::kServiceFtp, static_cast<uint32_t>(mConnectFlags), 0);
    if (mConnection == 0) {
        RecordLastError("InternetConnect");
        return false;
    }
    return true;
}

bool cFTP::SetFTPDirectory(const std::string& sDir) {
    if (!inet_.FtpSetCurrentDirectoryA(mConnection, sDir)) {
        RecordLastError("FtpSetCurrentDirectory");
        return false;
    }
    return true;
}

bool cFTP::FTPUploadFile(const std::string& sLocalName, const std::string& sRemoteName) {
    const std::string sLocal = Trim(sLocalName);
    const std::string sRemote = Trim(sRemoteName);
    if (sLocal.empty() || sRemote.empty()) return false;

    // The local file is opened and measured before the store begins: a file that cannot
    // be sent never truncates the server's copy.
    LocalFile local(sLocal);
    const int64_t length = local.Length();
    // The event's byte counts are 32-bit; a larger file would wrap them.
    if (length > std::numeric_limits<int32_t>::max()) {
        throw VbError(err::kOverflow, "cFTP", "The file is too large to upload (2 GB or more)");
    }

    mRemoteFile = inet_.FtpOpenFileA(mConnection, sRemote, inet::kGenericWrite,
                                     static_cast<uint32_t>(mTransferType), 0);
    if (mRemoteFile == 0) {
        RecordLastError("FtpOpenFile:PutFile");
        return false;
    }
    // On every way out but success (a throwing local file included) the store is aborted,
    // never completed, and what the server kept of it is deleted where it allows that.
    struct RemoteGuard {
        cFTP& self;
        const std::string& name;
        ~RemoteGuard() {
            if (self.mRemoteFile == 0) return;
            self.inet_.InternetAbortFile(self.mRemoteFile);
            self.mRemoteFile = 0;
            self.inet_.FtpDeleteFileA(self.mConnection, name);
        }
    } guard{*this, sRemote};

    int32_t total = static_cast<int32_t>(length);
    const int32_t blocks = total / kBlockSize;
    const int32_t rest = total % kBlockSize;
    int32_t sent = 0;
    char buffer[kBlockSize];
    uint32_t written = 0;

    // The host is pumped between blocks at the pace a window needs rather than after each
    // one: a desktop event loop costs many times what a block does.
    constexpr int32_t kPumpCheckBlocks = 16;
    constexpr auto kPumpInterval = std::chrono::milliseconds(10);
    std::chrono::steady_clock::time_point lastPump{};
    for (int32_t k = 0; k < blocks; ++k) {
        if (!inet_.InternetWriteFile(mRemoteFile, local.Next(buffer, kBlockSize), kBlockSize,
                                     &written)) {
            RecordLastError("InternetWriteFile");
            return false;
        }
        if (DoEvents && k % kPumpCheckBlocks == 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastPump >= kPumpInterval) {
                lastPump = now;
                DoEvents();
            }
        }
        sent += kBlockSize;
        int32_t current = sent;
        int32_t all = total;
        if (FileTransferProgress) FileTransferProgress(current, all);
    }

    local.Read(buffer, static_cast<size_t>(rest));
    if (!inet_.InternetWriteFile(mRemoteFile, buffer, static_cast<uint32_t>(rest), &written)) {
        RecordLastError("InternetWriteFile2");
        return false;
    }
    // The server confirms the file only when it is closed; an upload it did not take in
    // full is a failure of the last block, not a success.
    if (!inet_.InternetCloseHandle(mRemoteFile)) {
        RecordLastError("InternetWriteFile2");
        mRemoteFile = 0;
        inet_.FtpDeleteFileA(mConnection, sRemote);
        return false;
    }
    mRemoteFile = 0;
    sent += rest;
    int32_t current = sent;
    int32_t all = total;
    if (FileTransferProgress) FileTransferProgress(current, all);
    local.Close();
    return true;
}

int32_t cFTP::GetFTPFileSize(const std::string& sFile) {
    FtpFindData data;
    HINTERNET search = inet_.FtpFindFirstFileA(mConnection, sFile, &data, 0, 0);
    const uint32_t code = inet_.GetLastError();
    if (search != 0) {
        int32_t size = static_cast<int32_t>(data.nFileSizeLow);
        inet_.InternetCloseHandle(search);
        return size;
    }
    if (code == inet::kErrorNoMoreFiles) return -1;
    RecordError(static_cast<int32_t>(code), "FtpFindFirstFile");
    return -2;
}

}  // namespace folioray
