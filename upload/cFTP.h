#pragma once
// A small FTP client over the Internet port: one session, at most one connection, and
// during an upload one remote file fed in 255-byte blocks. Failures become one line of
// text (GetLastErrorMessage); no member shows anything or throws for a server failure.
#include <cstdint>
#include <functional>
#include <string>

#include "ports/Internet.h"

namespace folioray {

class cFTP {
  public:
    explicit cFTP(Internet& internet);
    ~cFTP();
    cFTP(const cFTP&) = delete;
    cFTP& operator=(const cFTP&) = delete;

    // ---- _cFTP, in slot order.
    std::string GetLastErrorMessage() const { return mLastError; }
    void CloseConnection();
    bool SimpleFTPPutFile(const std::string& sLocal, const std::string& sRemote);
    bool OpenConnection(const std::string& sServer, const std::string& sUser,
                        const std::string& sPassword);
    // A local file that cannot be opened or read throws VbError (no text is recorded).
    bool FTPUploadFile(const std::string& sLocal, const std::string& sRemote);
    bool SetFTPDirectory(const std::string& sDir);
    int32_t GetFTPFileSize(const std::string& sFile);
    void SetTransferASCII() { mTransferType = inet::kTransferTypeAscii; }
    void SetTransferBinary() { mTransferType = inet::kTransferTypeBinary; }
    void SetModeActive() { mConnectFlags = 0; }
    void SetModePassive() { mConnectFlags = static_cast<int32_t>(inet::kFlagPassive); }

    // ---- __cFTP: raised after every block; the handler does not change the values.
    std::function<void(int32_t& lCurrentBytes, int32_t& lTotalBytes)> FileTransferProgress;
    // Dispatches the thread's pending window messages between blocks.
    std::function<void()> DoEvents;

    static constexpr int32_t kBlockSize = 255;

  private:
    void RecordError(int32_t code, const std::string& source);
    void RecordLastError(const std::string& source);

    Internet& inet_;
    HINTERNET mSession = 0;
    HINTERNET mConnection = 0;
    HINTERNET mRemoteFile = 0;
    int32_t mTransferType = inet::kTransferTypeAscii;
    int32_t mConnectFlags = 0;
    std::string mLastError;
    // Kept only to mask it in texts a server might echo it in.
    std::string password_;
};

}  // namespace folioray
