#pragma once
// The FTP side of the internet library the upload client talks to, with the calling
// conventions of the Windows functions it was written against: handles (0 = none),
// boolean results, a per-thread last error code and the server's last response.
#include <cstdint>
#include <functional>
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

using HINTERNET = intptr_t;

namespace inet {
// InternetOpenA
inline constexpr uint32_t kOpenTypePreconfig = 0;
// InternetConnectA
inline constexpr uint16_t kInvalidPortNumber = 0;  // the service's default port
inline constexpr uint16_t kDefaultFtpPort = 21;
inline constexpr uint32_t kServiceFtp = 1;
inline constexpr uint32_t kFlagPassive = 0x08000000;
// FtpOpenFileA / FtpPutFileA
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kTransferTypeAscii = 1;
inline constexpr uint32_t kTransferTypeBinary = 2;

// Error codes, with the numbers Windows uses.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNoMoreFiles = 18;
inline constexpr uint32_t kErrorReadFault = 30;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorOutOfHandles = 12001;
inline constexpr uint32_t kErrorTimeout = 12002;
inline constexpr uint32_t kErrorExtendedError = 12003;
inline constexpr uint32_t kErrorInternalError = 12004;
inline constexpr uint32_t kErrorInvalidUrl = 12005;
inline constexpr uint32_t kErrorNameNotResolved = 12007;
inline constexpr uint32_t kErrorIncorrectPassword = 12014;
inline constexpr uint32_t kErrorLoginFailure = 12015;
inline constexpr uint32_t kErrorInvalidOperation = 12016;
inline constexpr uint32_t kErrorIncorrectHandleType = 12018;
inline constexpr uint32_t kErrorCertDateInvalid = 12037;
inline constexpr uint32_t kErrorCertNameInvalid = 12038;
inline constexpr uint32_t kErrorInvalidCa = 12045;
inline constexpr uint32_t kErrorCannotConnect = 12029;
inline constexpr uint32_t kErrorConnectionAborted = 12030;
inline constexpr uint32_t kErrorConnectionReset = 12031;
inline constexpr uint32_t kErrorFtpTransferInProgress = 12110;
inline constexpr uint32_t kErrorFtpDropped = 12111;
inline constexpr uint32_t kErrorInvalidServerResponse = 12152;
inline constexpr uint32_t kErrorSecureChannel = 12157;
// Windows has no numbers for these.
inline constexpr uint32_t kErrorTlsRefused = 12901;
inline constexpr uint32_t kErrorHostKeyUnknown = 12902;
inline constexpr uint32_t kErrorHostKeyMismatch = 12903;
inline constexpr uint32_t kErrorActiveTlsUnavailable = 12904;

// FormatMessage's and InternetGetLastResponseInfoA's buffer sizes as the client uses them.
inline constexpr size_t kMessageBufferSize = 256;
inline constexpr size_t kResponseBufferSize = 2048;
}  // namespace inet

// The part of WIN32_FIND_DATAA a directory search fills in.
struct FtpFindData {
    uint32_t dwFileAttributes = 0;
    uint32_t nFileSizeHigh = 0;
    uint32_t nFileSizeLow = 0;
    std::string cFileName;
};

class FOLIORAY_CORE_EXPORT Internet {
  public:
    virtual ~Internet() = default;

    virtual HINTERNET InternetOpenA(const std::string& agent, uint32_t accessType,
                                    const char* proxy, const char* proxyBypass, uint32_t flags) = 0;
    // Connects and logs in before it returns. `server` may carry a port ("host:port",
    // "[v6addr]:port"); otherwise `port`, and for port 0 the FTP default, 21. A scheme
    // selects the transport: "ftp://", "ftps://" (TLS after AUTH TLS, port 21),
    // "ftps-implicit://" (TLS from the start, port 990) or "sftp://" (SSH, port 22).
    virtual HINTERNET InternetConnectA(HINTERNET session, const std::string& server, uint16_t port,
                                       const std::string& user, const std::string& password,
                                       uint32_t service, uint32_t flags, uintptr_t context) = 0;
    // Relative to the connection's current directory.
    virtual bool FtpSetCurrentDirectoryA(HINTERNET connection, const std::string& dir) = 0;
    // Starts the store; the handle takes the file's bytes through InternetWriteFile and
    // the transfer completes when the handle is closed.
    virtual HINTERNET FtpOpenFileA(HINTERNET connection, const std::string& fileName,
                                   uint32_t access, uint32_t flags, uintptr_t context) = 0;
    virtual bool InternetWriteFile(HINTERNET file, const void* buffer, uint32_t length,
                                   uint32_t* written) = 0;
    // Closing an open remote file finishes its transfer; false when the server did not
    // confirm it.
    virtual bool InternetCloseHandle(HINTERNET handle) = 0;
    // Ends a store without completing it: the server is never told that the file is
    // whole. What it kept so far may stay on the server.
    virtual bool InternetAbortFile(HINTERNET file) = 0;
    // Relative to the connection's current directory.
    virtual bool FtpDeleteFileA(HINTERNET connection, const std::string& fileName) = 0;
    // Called every few milliseconds while the layer waits on the network, so that a host
    // window keeps painting; empty for none.
    virtual void SetWaitCallback(std::function<void()> callback) = 0;
    // The host is going away: the wait under way (even one inside the transfer library)
    // and every later one give up at once, dropping their connections. Any thread may call it.
    virtual void Cancel() {}
    virtual HINTERNET FtpFindFirstFileA(HINTERNET connection, const std::string& searchFile,
                                        FtpFindData* findData, uint32_t flags,
                                        uintptr_t context) = 0;
    virtual bool FtpPutFileA(HINTERNET connection, const std::string& localFile,
                             const std::string& remoteFile, uint32_t flags, uintptr_t context) = 0;

    // The calling thread's last error code of this layer.
    virtual uint32_t GetLastError() = 0;
    // The server's last response (all its lines) on this thread; at most bufferSize - 1
    // bytes are kept, as a C buffer of that size would.
    virtual bool InternetGetLastResponseInfoA(uint32_t* error, std::string& buffer,
                                              size_t bufferSize) = 0;
    // The message table: the text for a code, ending in CR LF, cut to bufferSize - 1
    // bytes; empty when the code has no text.
    virtual std::string FormatMessage(uint32_t code, size_t bufferSize) = 0;
};

}  // namespace folioray
