#pragma once
// Adapters whose libraries bring long chains with them (curl with TLS, Kerberos and LDAP;
// libharu) are made when a host first uses them, so a run that only scans or reads a
// property neither loads nor starts them. A shared build opens their libraries then,
// through the host's run path; a static build has them linked in and only makes them late.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "ports/Internet.h"
#include "ports/ObjectRegistry.h"

namespace folioray {

// The FTP layer, opened on the first call. When its library cannot be loaded every call
// fails as a layer that cannot start.
class LazyInternet : public Internet {
  public:
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
    void Cancel() override;
    HINTERNET FtpFindFirstFileA(HINTERNET connection, const std::string& searchFile,
                                FtpFindData* findData, uint32_t flags, uintptr_t context) override;
    bool FtpPutFileA(HINTERNET connection, const std::string& localFile,
                     const std::string& remoteFile, uint32_t flags, uintptr_t context) override;
    uint32_t GetLastError() override;
    bool InternetGetLastResponseInfoA(uint32_t* error, std::string& buffer,
                                      size_t bufferSize) override;
    std::string FormatMessage(uint32_t code, size_t bufferSize) override;

  private:
    Internet* Real();
    std::unique_ptr<Internet> real_;
    std::mutex realMutex_;  // Cancel comes from any thread
    bool cancelled_ = false;
    bool tried_ = false;
    std::function<void()> waitCallback_;
};

// The object registry; "Image.Stream" is registered when the first object is asked for.
class LazyObjects : public ObjectFactory {
  public:
    std::unique_ptr<Dispatch> CreateObject(const std::string& progId) override;

  private:
    ObjectRegistry registry_;
    bool tried_ = false;
};

}  // namespace folioray
