#pragma once
// The Internet port over libcurl. Each connection owns a multi handle whose connection
// cache keeps the logged-in control connection between calls; a remote file opened for
// writing is a running STOR whose read callback pauses until InternetWriteFile feeds it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ports/Internet.h"

namespace folioray {

class CurlInternet final : public Internet {
  public:
    struct Timeouts {
        long connectMs = 30000;   // TCP connect and login
        long responseMs = 30000;  // each reply on the control connection
        long idleMs = 60000;      // no progress at all while the layer waits
    };
    // Where SFTP host keys are looked up instead of ~/.ssh/known_hosts. TLS certificates
    // are checked against the system's authorities, or those in the file that
    // CURL_CA_BUNDLE names, as the curl tool does.
    static constexpr const char* kKnownHostsVariable = "FOLIORAY_KNOWN_HOSTS";
    // False where libcurl would send an active-mode data connection unencrypted.
    static bool ActiveTlsIsSafe();
    // Written bytes are collected up to this size before they are pushed to the server.
    static constexpr size_t kDefaultFlushSize = 64 * 1024;

    CurlInternet();
    explicit CurlInternet(Timeouts timeouts, size_t flushSize = kDefaultFlushSize);
    ~CurlInternet() override;
    CurlInternet(const CurlInternet&) = delete;
    CurlInternet& operator=(const CurlInternet&) = delete;

    HINTERNET InternetOpenA(const std::string& agent, uint32_t accessType, const char* proxy,
                            const char* proxyBypass, uint32_t flags) override;
    HINTERNET InternetConnectA(HINTERNET session, const std::string& server, uint16_t port,
                               const std::string& user, const std::string& password,
                               uint32_t service, uint32_t flags, uintptr_t context) override;
    bool FtpSetCurrentDirectoryA(HINTERNET connection, const std::string& dir) override;
    HINTERNET FtpOpenFileA(HINTERNET connection, const std::string& fileName, uint32_t access,
                           uint32_t flags, uintptr_t context) override;
    bool InternetWriteFile(HINTERNET file, const void* buffer, uint32_t length,
                           uint32_t* written) override;
    bool InternetCloseHandle(HINTERNET handle) override;
    bool InternetAbortFile(HINTERNET file) override;
    bool FtpDeleteFileA(HINTERNET connection, const std::string& fileName) override;
    void SetWaitCallback(std::function<void()> callback) override;
    void Cancel() override { cancelled_ = true; }
    HINTERNET FtpFindFirstFileA(HINTERNET connection, const std::string& searchFile,
                                FtpFindData* findData, uint32_t flags, uintptr_t context) override;
    bool FtpPutFileA(HINTERNET connection, const std::string& localFile,
                     const std::string& remoteFile, uint32_t flags, uintptr_t context) override;
    uint32_t GetLastError() override;
    bool InternetGetLastResponseInfoA(uint32_t* error, std::string& buffer,
                                      size_t bufferSize) override;
    std::string FormatMessage(uint32_t code, size_t bufferSize) override;

    struct Object;
    struct Connection;
    struct RemoteFile;

  private:
    Object* Find(HINTERNET h, int kind);
    HINTERNET Add(std::unique_ptr<Object> obj);
    bool Close(HINTERNET h, bool finish);

    Timeouts timeouts_;
    size_t flushSize_;
    std::function<void()> wait_;
    std::atomic<bool> cancelled_{false};
    std::map<HINTERNET, std::unique_ptr<Object>> handles_;
    HINTERNET next_ = 1;
    HINTERNET lastFileHandle_ = 0;
    RemoteFile* lastFile_ = nullptr;
};

enum class Transport { Ftp, FtpsExplicit, FtpsImplicit, Sftp };
struct Endpoint {
    Transport transport = Transport::Ftp;
    std::string host;  // as a URL holds it ("[::1]" for IPv6)
    uint16_t port = 0;
};
// "host[:port]" after an optional "ftp://", "ftps://", "ftps-implicit://" or "sftp://"
// (any case; one '/' may follow). Without a port: `port` when it is not 0, else the
// transport's own. False for another scheme, an empty host or a port outside 1..65535.
bool ParseServer(const std::string& server, uint16_t port, Endpoint& out);

// Splits "host", "host:port", "[v6]:port" or a bare IPv6 address. `port` keeps its value
// when the text names none. False for an empty host or a port outside 1..65535.
bool SplitServerPort(const std::string& server, std::string& host, uint16_t& port);

}  // namespace folioray
