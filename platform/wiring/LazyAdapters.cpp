#include "platform/wiring/LazyAdapters.h"

#include <iostream>

#if defined(FOLIORAY_HAVE_CURL)
#include "platform/curl/Factory.h"
#endif
#if defined(FOLIORAY_HAVE_HARU)
#include "platform/haru/Factory.h"
#endif

#if defined(FOLIORAY_LAZY_ADAPTERS)
#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#endif

namespace folioray {

namespace {

#if defined(FOLIORAY_LAZY_ADAPTERS)
// The folders the loader searches for a library that the object holding this code needs:
// its run path first. A sanitizer's dlopen wrapper makes the loader search for the
// wrapper's object instead, so these are tried by hand when the plain name fails.
std::vector<std::string> SearchFolders() {
    static const char inHere = 0;
    Dl_info info{};
    link_map* self = nullptr;
    if (!::dladdr1(&inHere, &info, reinterpret_cast<void**>(&self), RTLD_DL_LINKMAP) || !self)
        return {};
    Dl_serinfo size{};
    if (::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0) return {};
    std::unique_ptr<Dl_serinfo, decltype(&std::free)> list(
        static_cast<Dl_serinfo*>(std::malloc(size.dls_size)), &std::free);
    if (!list || ::dlinfo(self, RTLD_DI_SERINFOSIZE, list.get()) != 0 ||
        ::dlinfo(self, RTLD_DI_SERINFO, list.get()) != 0)
        return {};
    std::vector<std::string> folders;
    for (unsigned i = 0; i < list->dls_cnt; ++i)
        folders.emplace_back(list->dls_serpath[i].dls_name);
    return folders;
}

// The entry point `symbol` of the adapter library `library` (found through the run path
// of the program or library that holds this code), or null after saying why on stderr.
void* EntryPoint(const char* library, const char* symbol) {
    // Kept open for the rest of the run: the adapter's objects live in it.
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    std::string why = handle ? "" : ::dlerror();
    if (!handle) {
        for (const std::string& folder : SearchFolders()) {
            if ((handle = ::dlopen((folder + "/" + library).c_str(), RTLD_NOW | RTLD_LOCAL))) break;
        }
    }
    void* entry = handle ? ::dlsym(handle, symbol) : nullptr;
    if (!entry) {
        if (handle) why = symbol;
        std::cerr << "folioray2: cannot load " << library << ": " << why << "\n";
    }
    return entry;
}
// Only the declaration is used: the library is not linked.
#define FOLIORAY_ENTRY(library, function) \
    reinterpret_cast<decltype(&function)>(EntryPoint(library, #function))
#else
#define FOLIORAY_ENTRY(library, function) (&function)
#endif

// What a layer that cannot start answers: ERROR_INTERNET_INTERNAL_ERROR.
[[maybe_unused]] constexpr uint32_t kCannotStart = 12004;

}  // namespace

#if defined(FOLIORAY_HAVE_CURL)
Internet* LazyInternet::Real() {
    if (!tried_) {
        tried_ = true;
        if (auto* make = FOLIORAY_ENTRY(FOLIORAY_CURL_LIBRARY, folioray_curl_new_internet)) {
            std::unique_ptr<Internet> made(make());
            if (made && waitCallback_) made->SetWaitCallback(waitCallback_);
            std::lock_guard<std::mutex> lock(realMutex_);
            real_ = std::move(made);
            if (real_ && cancelled_) real_->Cancel();
        }
    }
    return real_.get();
}

HINTERNET LazyInternet::InternetOpenA(const std::string& agent, uint32_t accessType,
                                      const char* proxy, const char* proxyBypass, uint32_t flags) {
    Internet* i = Real();
    return i ? i->InternetOpenA(agent, accessType, proxy, proxyBypass, flags) : HINTERNET{};
}
HINTERNET LazyInternet::InternetConnectA(HINTERNET session, const std::string& server,
                                         uint16_t port, const std::string& user,
                                         const std::string& password, uint32_t service,
                                         uint32_t flags, uintptr_t context) {
    Internet* i = Real();
    return i ? i->InternetConnectA(session, server, port, user, password, service, flags, context)
             : HINTERNET{};
}
bool LazyInternet::FtpSetCurrentDirectoryA(HINTERNET connection, const std::string& dir) {
    Internet* i = Real();
    return i && i->FtpSetCurrentDirectoryA(connection, dir);
}
HINTERNET LazyInternet::FtpOpenFileA(HINTERNET connection, const std::string& fileName,
                                     uint32_t access, uint32_t flags, uintptr_t context) {
    Internet* i = Real();
    return i ? i->FtpOpenFileA(connection, fileName, access, flags, context) : HINTERNET{};
}
bool LazyInternet::InternetWriteFile(HINTERNET file, const void* buffer, uint32_t length,
                                     uint32_t* written) {
    Internet* i = Real();
    return i && i->InternetWriteFile(file, buffer, length, written);
}
bool LazyInternet::InternetCloseHandle(HINTERNET handle) {
    Internet* i = Real();
    return i && i->InternetCloseHandle(handle);
}
bool LazyInternet::InternetAbortFile(HINTERNET file) {
    Internet* i = Real();
    return i && i->InternetAbortFile(file);
}
bool LazyInternet::FtpDeleteFileA(HINTERNET connection, const std::string& fileName) {
    Internet* i = Real();
    return i && i->FtpDeleteFileA(connection, fileName);
}
void LazyInternet::Cancel() {
    std::lock_guard<std::mutex> lock(realMutex_);
    cancelled_ = true;
    if (real_) real_->Cancel();
}

void LazyInternet::SetWaitCallback(std::function<void()> callback) {
    // Kept for a layer opened later; setting it opens nothing.
    waitCallback_ = callback;
    if (real_) real_->SetWaitCallback(std::move(callback));
}
HINTERNET LazyInternet::FtpFindFirstFileA(HINTERNET connection, const std::string& searchFile,
                                          FtpFindData* findData, uint32_t flags,
                                          uintptr_t context) {
    Internet* i = Real();
    return i ? i->FtpFindFirstFileA(connection, searchFile, findData, flags, context) : HINTERNET{};
}
bool LazyInternet::FtpPutFileA(HINTERNET connection, const std::string& localFile,
                               const std::string& remoteFile, uint32_t flags, uintptr_t context) {
    Internet* i = Real();
    return i && i->FtpPutFileA(connection, localFile, remoteFile, flags, context);
}
uint32_t LazyInternet::GetLastError() {
    Internet* i = Real();
    return i ? i->GetLastError() : kCannotStart;
}
bool LazyInternet::InternetGetLastResponseInfoA(uint32_t* error, std::string& buffer,
                                                size_t bufferSize) {
    Internet* i = Real();
    if (i) return i->InternetGetLastResponseInfoA(error, buffer, bufferSize);
    if (error) *error = 0;
    buffer.clear();
    return true;
}
std::string LazyInternet::FormatMessage(uint32_t code, size_t bufferSize) {
    Internet* i = Real();
    return i ? i->FormatMessage(code, bufferSize) : std::string();
}

#endif

#if defined(FOLIORAY_HAVE_HARU)
std::unique_ptr<Dispatch> LazyObjects::CreateObject(const std::string& progId) {
    if (!tried_) {
        tried_ = true;
        if (auto* add = FOLIORAY_ENTRY(FOLIORAY_HARU_LIBRARY, folioray_haru_register_objects)) {
            add(registry_);
        }
    }
    // Without the library the ProgID is unknown, as on a system without the object.
    return registry_.CreateObject(progId);
}

#endif

}  // namespace folioray
