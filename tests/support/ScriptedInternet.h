#pragma once
// An Internet port that fails where a test tells it to: for faults a real FTP server
// cannot be made to show on cue (a failing session, a write failing at block n, codes
// without a message text). It records the calls and the bytes it was given.
#include <set>
#include <string>
#include <vector>

#include "ports/Internet.h"
#include "ports/InternetMessages.h"

namespace folioray {

class ScriptedInternet final : public Internet {
  public:
    // ---- The script: a non-zero code makes that call fail with it.
    uint32_t openError = 0;
    uint32_t connectError = 0;
    uint32_t directoryError = 0;
    uint32_t openFileError = 0;
    int failWriteAt = 0;  // 1-based number of the InternetWriteFile call that fails
    uint32_t writeError = inet::kErrorConnectionAborted;
    uint32_t closeFileError = 0;  // closing the remote file (the server's confirmation)
    uint32_t findError = 0;
    FtpFindData findResult;
    std::string response;  // what InternetGetLastResponseInfoA gives

    // ---- What happened.
    std::vector<std::string> calls;
    std::vector<uint32_t> connectFlags;  // flags of each InternetConnectA
    std::vector<uint32_t> openFlags;     // flags of each FtpOpenFileA
    std::vector<uint32_t> writes;        // lengths, in order
    std::string received;                // bytes of all writes
    std::set<HINTERNET> open;            // handles not closed yet
    std::function<void()> wait;          // the pump it was given

    HINTERNET InternetOpenA(const std::string&, uint32_t, const char*, const char*,
                            uint32_t) override {
        calls.push_back("InternetOpenA");
        return Result(openError);
    }
    HINTERNET InternetConnectA(HINTERNET session, const std::string& server, uint16_t,
                               const std::string&, const std::string&, uint32_t, uint32_t flags,
                               uintptr_t) override {
        calls.push_back("InternetConnectA " + server);
        connectFlags.push_back(flags);
        if (!open.count(session)) return Fail(inet::kErrorInvalidHandle);
        return Result(connectError);
    }
    bool FtpSetCurrentDirectoryA(HINTERNET, const std::string& dir) override {
        calls.push_back("FtpSetCurrentDirectoryA " + dir);
        return Result(directoryError) != 0;
    }
    HINTERNET FtpOpenFileA(HINTERNET, const std::string& name, uint32_t, uint32_t flags,
                           uintptr_t) override {
        calls.push_back("FtpOpenFileA " + name);
        openFlags.push_back(flags);
        HINTERNET h = Result(openFileError);
        if (h) file_ = h;
        return h;
    }
    bool InternetWriteFile(HINTERNET, const void* buffer, uint32_t length,
                           uint32_t* written) override {
        writes.push_back(length);
        if (failWriteAt == static_cast<int>(writes.size())) {
            error_ = writeError;
            return false;
        }
        received.append(static_cast<const char*>(buffer), length);
        if (written) *written = length;
        return true;
    }
    bool InternetCloseHandle(HINTERNET h) override {
        calls.push_back("InternetCloseHandle");
        open.erase(h);
        if (h == file_ && closeFileError) {
            error_ = closeFileError;
            return false;
        }
        return true;
    }
    bool InternetAbortFile(HINTERNET h) override {
        calls.push_back("InternetAbortFile");
        open.erase(h);
        return true;
    }
    bool FtpDeleteFileA(HINTERNET, const std::string& name) override {
        calls.push_back("FtpDeleteFileA " + name);
        return true;
    }
    void SetWaitCallback(std::function<void()> callback) override { wait = std::move(callback); }
    HINTERNET FtpFindFirstFileA(HINTERNET, const std::string& name, FtpFindData* data, uint32_t,
                                uintptr_t) override {
        calls.push_back("FtpFindFirstFileA " + name);
        HINTERNET h = Result(findError);
        if (h && data) *data = findResult;
        return h;
    }
    bool FtpPutFileA(HINTERNET, const std::string&, const std::string&, uint32_t,
                     uintptr_t) override {
        return Fail(inet::kErrorInvalidOperation) != 0;
    }
    uint32_t GetLastError() override { return error_; }
    bool InternetGetLastResponseInfoA(uint32_t* error, std::string& buffer,
                                      size_t bufferSize) override {
        if (error) *error = 0;
        buffer = response.substr(0, bufferSize ? bufferSize - 1 : 0);
        return true;
    }
    std::string FormatMessage(uint32_t code, size_t bufferSize) override {
        return inet::FormatMessageText(code, bufferSize);
    }

  private:
    HINTERNET Fail(uint32_t code) {
        error_ = code;
        return 0;
    }
    HINTERNET Result(uint32_t failure) {
        if (failure) return Fail(failure);
        open.insert(next_);
        return next_++;
    }

    HINTERNET next_ = 100;
    HINTERNET file_ = 0;
    uint32_t error_ = 0;
};

}  // namespace folioray
