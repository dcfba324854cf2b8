#include "platform/curl/CurlInternet.h"
#include "platform/curl/Factory.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <fnmatch.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "platform/curl/FtpReplies.h"
#include "ports/InternetMessages.h"

namespace folioray {

namespace {

enum Kind { kSession = 1, kConnection = 2, kFile = 3, kFind = 4 };

// WinINet keeps both per thread; so does this layer.
thread_local uint32_t t_error = 0;
thread_local std::string t_response;
// libcurl's own words on the last error, when it gave any; FormatMessage adds them.
thread_local std::string t_detail;

template <class T>
T Fail(uint32_t code, T value, std::string detail = {}) {
    t_error = code;
    t_detail = std::move(detail);
    return value;
}

struct EasyCleanup {
    void operator()(CURL* e) const { curl_easy_cleanup(e); }
};
struct MultiCleanup {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct SlistFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using EasyPtr = std::unique_ptr<CURL, EasyCleanup>;
using MultiPtr = std::unique_ptr<CURLM, MultiCleanup>;
using SlistPtr = std::unique_ptr<curl_slist, SlistFree>;
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

bool HasLineBreakOrNul(const std::string& s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

std::once_flag g_curlInit;

void GlobalInit() {
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Only unreserved bytes and '/' go into the URL as they are; a leading '/' (an absolute
// path on the server) is written as %2F, which is how an FTP URL asks for one.
std::string EncodePath(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size() + 8);
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '.' || c == '_' || c == '~' || (c == '/' && i > 0);
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool ValidHostChar(unsigned char c, bool v6) {
    if (c >= 0x80) return !v6;  // international names go through IDN
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) return true;
    if (v6) return c == ':' || c == '.' || c == '%' || (c >= 'g' && c <= 'z') || c == '_';
    return (c >= 'g' && c <= 'z') || (c >= 'G' && c <= 'Z') || c == '.' || c == '-' || c == '_';
}

bool ParsePort(const std::string& s, uint16_t& port) {
    if (s.empty() || s.size() > 5) return false;
    unsigned v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v == 0 || v > 65535) return false;
    port = static_cast<uint16_t>(v);
    return true;
}

uint32_t ErrorFromErrno(int e) {
    switch (e) {
        case ENOENT:
        case ENOTDIR:
            return inet::kErrorFileNotFound;
        case EACCES:
        case EPERM:
            return inet::kErrorAccessDenied;
        default:
            return inet::kErrorReadFault;
    }
}

}  // namespace

bool SplitServerPort(const std::string& server, std::string& host, uint16_t& port) {
    if (server.empty()) return false;
    std::string name;
    bool v6 = false;
    if (server[0] == '[') {
        size_t close = server.find(']');
        if (close == std::string::npos || close == 1) return false;
        name = server.substr(1, close - 1);
        v6 = true;
        std::string rest = server.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':' || !ParsePort(rest.substr(1), port)) return false;
        }
    } else {
        size_t colons = std::count(server.begin(), server.end(), ':');
        if (colons == 1) {
            size_t c = server.find(':');
            name = server.substr(0, c);
            if (!ParsePort(server.substr(c + 1), port)) return false;
        } else {
            name = server;
            v6 = colons > 1;
        }
    }
    if (name.empty()) return false;
    for (char c : name) {
        if (!ValidHostChar(static_cast<unsigned char>(c), v6)) return false;
    }
    if (v6) {
        // A zone id's '%' must itself be escaped inside a URL.
        std::string esc;
        for (char c : name) esc += c == '%' ? std::string("%25") : std::string(1, c);
        host = "[" + esc + "]";
    } else {
        host = name;
    }
    return true;
}

bool ParseServer(const std::string& server, uint16_t port, Endpoint& out) {
    static const struct {
        const char* scheme;
        Transport transport;
        uint16_t port;
    } kSchemes[] = {{"ftp://", Transport::Ftp, inet::kDefaultFtpPort},
                    {"ftps://", Transport::FtpsExplicit, inet::kDefaultFtpPort},
                    {"ftps-implicit://", Transport::FtpsImplicit, 990},
                    {"sftp://", Transport::Sftp, 22}};
    std::string rest = server;
    out.transport = Transport::Ftp;
    uint16_t p = port ? port : inet::kDefaultFtpPort;
    const size_t sep = server.find("://");
    if (sep != std::string::npos) {
        const std::string scheme = ToLower(server.substr(0, sep + 3));
        auto it = std::find_if(std::begin(kSchemes), std::end(kSchemes),
                               [&](const auto& k) { return scheme == k.scheme; });
        if (it == std::end(kSchemes)) return false;
        out.transport = it->transport;
        p = port ? port : it->port;
        rest = server.substr(sep + 3);
        if (!rest.empty() && rest.back() == '/') rest.pop_back();
    }
    out.port = p;
    return SplitServerPort(rest, out.host, out.port);
}

bool CurlInternet::ActiveTlsIsSafe() {
    // libcurl 7.88 was seen writing an active-mode data connection in clear text.
    return curl_version_info(CURLVERSION_NOW)->version_num >= 0x080000;
}

struct CurlInternet::Object {
    Object(int k, HINTERNET p) : kind(k), parent(p) {}
    virtual ~Object() = default;
    int kind;
    HINTERNET parent;
};

namespace {
struct Session final : CurlInternet::Object {
    explicit Session(std::string a) : Object(kSession, 0), agent(std::move(a)) {}
    std::string agent;
};
struct FindHandle final : CurlInternet::Object {
    explicit FindHandle(HINTERNET p) : Object(kFind, p) {}
};
}  // namespace

struct CurlInternet::Connection final : CurlInternet::Object {
    Connection(HINTERNET session, const Timeouts& t, size_t flush,
               const std::function<void()>& waitCallback, const std::atomic<bool>& cancel)
        : Object(kConnection, session),
          timeouts(t),
          flushSize(flush),
          wait(waitCallback),
          cancelled(cancel) {}
    ~Connection() override {
        holdControl = false;
        if (added) Abort();
        easy.reset();
        multi.reset();  // ends the control connection (QUIT)
        ReleaseControl();
        CloseLingering();
    }

    Timeouts timeouts;
    size_t flushSize;
    const std::function<void()>& wait;   // the host's pump
    const std::atomic<bool>& cancelled;  // the host has given up
    std::chrono::steady_clock::time_point lastPump{};
    Transport transport = Transport::Ftp;
    std::string urlBase;     // "ftp://host:port/"
    std::string caBundle;    // empty: the system's authorities
    std::string knownHosts;  // SFTP host keys
    int hostKey = -1;        // how the server's host key compared (a curl_khmatch)
    std::string user, password;
    bool passive = false;
    std::string cwd;  // "" (the login directory) or a path ending in '/'
    MultiPtr multi;
    EasyPtr easy;
    bool added = false;
    HINTERNET openFile = 0;

    // The running operation.
    bool done = false;
    CURLcode result = CURLE_OK;
    uint64_t activity = 0;
    int lastCode = 0;  // code of the last complete reply in this operation
    std::string body;  // a listing
    bool listingCut = false;
    static constexpr size_t kMaxListingBytes = 1024 * 1024;

    // Replies on the control connection.
    FtpReplyReader replies;
    SlistPtr quote;

    // libcurl's text for a failure, and the first option it refused for this operation.
    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::string refused;

    // The sockets libcurl has open. During a store the control connection is not closed
    // with the transfer when that fails: the server's reason may still be on its way.
    std::set<curl_socket_t> sockets;
    std::set<curl_socket_t> accepted;  // gone once their operation ends
    uint16_t serverPort = 0;
    bool holdControl = false;
    curl_socket_t heldControl = CURL_SOCKET_BAD;

    static int SockOptCb(void* userp, curl_socket_t fd, curlsocktype type) {
        auto* c = static_cast<Connection*>(userp);
        c->sockets.insert(fd);
        // libcurl closes an accepted data connection without the close hook.
        if (type == CURLSOCKTYPE_ACCEPT) c->accepted.insert(fd);
        return CURL_SOCKOPT_OK;
    }
    static int CloseSocketCb(void* userp, curl_socket_t fd) {
        auto* c = static_cast<Connection*>(userp);
        c->sockets.erase(fd);
        if (c->holdControl && c->heldControl == CURL_SOCKET_BAD && c->IsControl(fd)) {
            c->heldControl = fd;
            return 0;
        }
        if (c->transport != Transport::Ftp && !c->resetting && !c->IsControl(fd)) {
            ::shutdown(fd, SHUT_WR);
            c->lingering.push_back(fd);
            return 0;
        }
        return ::close(fd);
    }
    // The control connection is the one to the server's own port (data connections go to
    // other ports, or come from it).
    bool IsControl(curl_socket_t fd) const {
        sockaddr_storage a{};
        socklen_t len = sizeof a;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return false;
        const uint16_t peer = a.ss_family == AF_INET6
                                  ? ntohs(reinterpret_cast<const sockaddr_in6*>(&a)->sin6_port)
                                  : ntohs(reinterpret_cast<const sockaddr_in*>(&a)->sin_port);
        return peer == serverPort;
    }

    void Pump(bool idle) {
        if (!wait) return;
        const auto now = std::chrono::steady_clock::now();
        if (!idle && now - lastPump < std::chrono::milliseconds(kPumpMs)) return;
        lastPump = now;
        wait();
    }
    static constexpr int kPumpMs = 10;

    // Drops the connections at once with a reset, never with the orderly close that tells
    // a server a stored file is complete.
    void Abort() {
        holdControl = false;
        resetting = true;
        for (curl_socket_t fd : sockets) Reset(fd);
        Detach();
        ReleaseControl();
        resetting = false;
    }

    static void Reset(curl_socket_t fd) {
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }

    // A TLS data connection the transfer is done with is shut for writing but kept open
    // until the operation ends: a TLS 1.3 server may still send its session tickets after
    // the last byte was written, and meeting a closed socket they would draw a reset that
    // cuts off whatever the server had not yet read.
    std::vector<curl_socket_t> lingering;
    bool resetting = false;

    void CloseLingering() {
        char sink[4096];
        for (curl_socket_t fd : lingering) {
            if (resetting) Reset(fd);
            while (!resetting && ::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0) {
            }
            ::close(fd);
        }
        lingering.clear();
    }

    void ReleaseControl() {
        if (heldControl != CURL_SOCKET_BAD) ::close(heldControl);
        heldControl = CURL_SOCKET_BAD;
    }

    // After a store failed on its data connection: the server's reply that says why, read
    // from the held control connection for a short while.
    void ReadLateReply() {
        holdControl = false;
        if (transport != Transport::Ftp) return ReleaseControl();  // not readable in clear
        if (heldControl == CURL_SOCKET_BAD) {
            // Still libcurl's: the connection is of no further use either way.
            for (curl_socket_t fd : sockets) {
                if (IsControl(fd)) heldControl = ::dup(fd);
            }
        }
        if (heldControl == CURL_SOCKET_BAD || lastCode >= 400) return ReleaseControl();
        using Clock = std::chrono::steady_clock;
        const auto end =
            Clock::now() + std::chrono::milliseconds(std::min(timeouts.responseMs, 2000L));
        char buf[1024];
        while (Clock::now() < end && lastCode < 400 && !cancelled) {
            pollfd p{heldControl, POLLIN, 0};
            if (::poll(&p, 1, kPumpMs) > 0) {
                const ssize_t n = ::recv(heldControl, buf, sizeof buf, 0);
                if (n <= 0) break;
                if (replies.Feed(buf, static_cast<size_t>(n)) > 0) {
                    lastCode = replies.LastCode();
                    t_response = replies.LastReply();
                }
            }
            Pump(true);
        }
        ReleaseControl();
    }

    static int ProgressCb(void* userp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<Connection*>(userp)->cancelled ? 1 : 0;
    }

    static int DebugCb(CURL*, curl_infotype type, char* data, size_t size, void* userp) {
        auto* c = static_cast<Connection*>(userp);
        if (type == CURLINFO_HEADER_IN) {
            ++c->activity;
            if (c->replies.Feed(data, size) > 0) {
                c->lastCode = c->replies.LastCode();
                t_response = c->replies.LastReply();
            }
        } else if (type == CURLINFO_DATA_OUT || type == CURLINFO_DATA_IN ||
                   type == CURLINFO_HEADER_OUT) {
            ++c->activity;
        }
        return 0;
    }

    static size_t DiscardCb(char*, size_t size, size_t n, void* userp) {
        ++static_cast<Connection*>(userp)->activity;
        return size * n;
    }

    static size_t BodyCb(char* p, size_t size, size_t n, void* userp) {
        auto* c = static_cast<Connection*>(userp);
        ++c->activity;
        // Only the first lines are read; a listing without end is not waited for.
        if (c->body.size() >= kMaxListingBytes) {
            c->listingCut = true;
            return 0;
        }
        c->body.append(p, size * n);
        return size * n;
    }

    // Fresh options for one operation on `path` (relative to the login directory unless
    // it starts with '/').
    void Prepare(const std::string& path) {
        curl_easy_reset(easy.get());
        refused.clear();
        errorBuffer[0] = '\0';
        Set(CURLOPT_ERRORBUFFER, errorBuffer);
        Set(CURLOPT_URL, Url(path).c_str());
        const bool sftp = transport == Transport::Sftp;
        Set(CURLOPT_PROTOCOLS_STR, sftp                                   ? "sftp"
                                   : transport == Transport::FtpsImplicit ? "ftps"
                                                                          : "ftp");
        if (transport != Transport::Ftp && !sftp) {
            // Both channels, or nothing: a server without TLS is refused before the login.
            Set(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            Set(CURLOPT_SSL_VERIFYPEER, 1L);
            Set(CURLOPT_SSL_VERIFYHOST, 2L);
            if (!caBundle.empty()) Set(CURLOPT_CAINFO, caBundle.c_str());
        }
        if (sftp) {
            // The password is the only key: none of the user's own keys is offered.
            Set(CURLOPT_SSH_AUTH_TYPES,
                static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
            Set(CURLOPT_SSH_KNOWNHOSTS, knownHosts.c_str());
            Set(CURLOPT_SSH_KEYFUNCTION, &Connection::HostKeyCb);
            Set(CURLOPT_SSH_KEYDATA, this);
            hostKey = -1;
        }
        if (!user.empty()) {
            Set(CURLOPT_USERNAME, user.c_str());
            Set(CURLOPT_PASSWORD, password.c_str());
        }
        Set(CURLOPT_PATH_AS_IS, 1L);
        Set(CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
        Set(CURLOPT_CONNECTTIMEOUT_MS, timeouts.connectMs);
        Set(CURLOPT_SERVER_RESPONSE_TIMEOUT, std::max(1L, (timeouts.responseMs + 999) / 1000));
        Set(CURLOPT_ACCEPTTIMEOUT_MS, timeouts.responseMs);
        Set(CURLOPT_NOSIGNAL, 1L);
        // libcurl waits for some replies by itself; it asks here, about once a second,
        // whether the host has given up.
        Set(CURLOPT_NOPROGRESS, 0L);
        Set(CURLOPT_XFERINFOFUNCTION, &Connection::ProgressCb);
        Set(CURLOPT_XFERINFODATA, this);
        Set(CURLOPT_SOCKOPTFUNCTION, &Connection::SockOptCb);
        Set(CURLOPT_SOCKOPTDATA, this);
        Set(CURLOPT_CLOSESOCKETFUNCTION, &Connection::CloseSocketCb);
        Set(CURLOPT_CLOSESOCKETDATA, this);
        // Replies are read through the debug hook; nothing is printed.
        Set(CURLOPT_VERBOSE, 1L);
        Set(CURLOPT_DEBUGFUNCTION, &Connection::DebugCb);
        Set(CURLOPT_DEBUGDATA, this);
        Set(CURLOPT_UPLOAD_BUFFERSIZE, static_cast<long>(flushSize));
        if (!passive && !sftp) Set(CURLOPT_FTPPORT, "-");
        done = false;
        result = CURLE_OK;
        lastCode = 0;
        body.clear();
        listingCut = false;
        replies.Reset();
        holdControl = false;
        ReleaseControl();
        quote.reset();
        for (curl_socket_t fd : accepted) sockets.erase(fd);
        accepted.clear();
    }

    // `path` is relative to the login directory unless it starts with '/'.
    std::string Url(const std::string& path) const {
        if (transport != Transport::Sftp) return urlBase + EncodePath(path);
        // An SFTP URL's path is absolute; "~/" starts it in the login directory.
        if (!path.empty() && path[0] == '/') return urlBase + EncodePath(path.substr(1));
        return urlBase + "~/" + EncodePath(path);
    }

    // Only a key that the known hosts file holds for this host is taken.
    static int HostKeyCb(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match,
                         void* userp) {
        static_cast<Connection*>(userp)->hostKey = match;
        return match == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
    }

    // Every option goes through here. The first one libcurl refuses fails the operation
    // when it starts, named in the error's text: a transfer never runs with half its
    // settings.
    template <class T>
    void Set(CURLoption option, T value) {
        const CURLcode rc = curl_easy_setopt(easy.get(), option, value);
        if (rc == CURLE_OK || !refused.empty()) return;
        const curl_easyoption* o = curl_easy_option_by_id(option);
        refused = "libcurl refused CURLOPT_" +
                  (o ? std::string(o->name) : std::to_string(static_cast<int>(option))) + ": " +
                  curl_easy_strerror(rc);
    }

    // libcurl's text on the failure (the password, should it echo one, masked).
    std::string Detail() const {
        if (!refused.empty()) return refused;
        if (result == CURLE_OK || replies.Overflowed() || lastCode >= 400) return {};
        return MaskSecret(errorBuffer, password);
    }

    // An SFTP server's refusal comes as libcurl's text: it stands as the server's reply.
    template <class T>
    T Failed(T value) {
        const uint32_t code = ErrorCode();
        std::string detail = Detail();
        if (code == inet::kErrorExtendedError && lastCode < 400) {
            t_response = detail + "\r\n";
            detail.clear();
        }
        return Fail(code, value, std::move(detail));
    }

    bool Start() {
        if (!refused.empty()) {
            done = true;
            result = CURLE_BAD_FUNCTION_ARGUMENT;
            return false;
        }
        if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
            done = true;
            result = CURLE_OUT_OF_MEMORY;
            return false;
        }
        added = true;
        return true;
    }

    void Detach() {
        if (added) curl_multi_remove_handle(multi.get(), easy.get());
        added = false;
        CloseLingering();
    }

    // Runs the operation until `until()` holds (true) or it ends (false, `result` set).
    // Gives up with a timeout when nothing moves for the idle time.
    template <class Pred>
    bool Drive(Pred until) {
        using Clock = std::chrono::steady_clock;
        auto last = Clock::now();
        uint64_t seen = activity;
        int waitMs = 1;
        for (;;) {
            if (until()) return true;
            if (done) return false;
            if (cancelled) {
                Abort();
                done = true;
                result = CURLE_ABORTED_BY_CALLBACK;
                return false;
            }
            int running = 0;
            CURLMcode mc = curl_multi_perform(multi.get(), &running);
            if (mc != CURLM_OK) {
                done = true;
                result = CURLE_OUT_OF_MEMORY;
                return false;
            }
            int queued = 0;
            while (CURLMsg* m = curl_multi_info_read(multi.get(), &queued)) {
                if (m->msg == CURLMSG_DONE && m->easy_handle == easy.get()) {
                    done = true;
                    result = m->data.result;
                }
            }
            if (until()) return true;
            if (done) return false;
            if (replies.Overflowed()) {
                Abort();  // a reply without end: the connection is of no further use
                done = true;
                result = CURLE_WEIRD_SERVER_REPLY;
                return false;
            }
            auto now = Clock::now();
            if (activity != seen) {
                seen = activity;
                last = now;
            } else if (now - last > std::chrono::milliseconds(timeouts.idleMs)) {
                Abort();  // drops the stalled connection
                done = true;
                result = CURLE_OPERATION_TIMEDOUT;
                return false;
            }
            // libcurl does not always hand over every socket it waits on (the start of a
            // store is one such moment), so a quiet wait is cut short at first and
            // lengthened while nothing happens.
            // The host is pumped between short slices, so that its window keeps painting.
            int ready = 0;
            curl_multi_poll(multi.get(), nullptr, 0, waitMs, &ready);
            Pump(ready == 0);
            waitMs = ready ? 1 : std::min(waitMs * 2, kPumpMs);
        }
    }

    bool RunToEnd() {
        if (!Start()) return false;
        Drive([] { return false; });
        Detach();
        return result == CURLE_OK;
    }

    uint32_t ErrorCode() const {
        // A reply without end, whichever side gave up on it first.
        if (replies.Overflowed()) return inet::kErrorInvalidServerResponse;
        if (result == CURLE_OK) return 0;
        // The channel's own failures first: a plain server's answer to AUTH TLS is no reason.
        switch (result) {
            case CURLE_PEER_FAILED_VERIFICATION: {
                if (transport == Transport::Sftp) {
                    return hostKey == CURLKHMATCH_MISMATCH ? inet::kErrorHostKeyMismatch
                                                           : inet::kErrorHostKeyUnknown;
                }
                long verify = 0;
                curl_easy_getinfo(easy.get(), CURLINFO_SSL_VERIFYRESULT, &verify);
                // A chain that verified failed on the name: libcurl then leaves 0 or 1
                // ("unspecified"), OpenSSL 62 or 64 (name, address); 9 and 10 are "not yet
                // valid" and "expired"; the rest are chains no trusted authority vouches for.
                if (verify <= 1 || verify == 62 || verify == 64) return inet::kErrorCertNameInvalid;
                return verify == 9 || verify == 10 ? inet::kErrorCertDateInvalid
                                                   : inet::kErrorInvalidCa;
            }
            case CURLE_USE_SSL_FAILED:
                return inet::kErrorTlsRefused;
            case CURLE_SSL_CONNECT_ERROR:
            case CURLE_SSL_CERTPROBLEM:
            case CURLE_SSL_CIPHER:
            case CURLE_SSL_CACERT_BADFILE:
            case CURLE_SSL_ISSUER_ERROR:
            case CURLE_SSL_CRL_BADFILE:
            case CURLE_SSH:
                return inet::kErrorSecureChannel;
            default:
                break;
        }
        // The server said no: its reply is the message, whatever the transport did next.
        if (lastCode >= 400) return inet::kErrorExtendedError;
        switch (result) {
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
                return inet::kErrorNameNotResolved;
            case CURLE_COULDNT_CONNECT:
                return inet::kErrorCannotConnect;
            case CURLE_OPERATION_TIMEDOUT:
            case CURLE_FTP_ACCEPT_TIMEOUT:
                return inet::kErrorTimeout;
            case CURLE_URL_MALFORMAT:
                return inet::kErrorInvalidUrl;
            case CURLE_SEND_ERROR:
            case CURLE_GOT_NOTHING:
                return inet::kErrorConnectionAborted;
            case CURLE_RECV_ERROR:
                return inet::kErrorConnectionReset;
            case CURLE_READ_ERROR:
                return inet::kErrorReadFault;
            default:
                break;
        }
        switch (result) {
            case CURLE_LOGIN_DENIED:
                return inet::kErrorLoginFailure;
            case CURLE_REMOTE_ACCESS_DENIED:
            case CURLE_REMOTE_FILE_NOT_FOUND:
            case CURLE_REMOTE_DISK_FULL:
            case CURLE_QUOTE_ERROR:
                return inet::kErrorExtendedError;
            case CURLE_WEIRD_SERVER_REPLY:
            case CURLE_FTP_WEIRD_PASV_REPLY:
            case CURLE_FTP_WEIRD_227_FORMAT:
                return inet::kErrorInvalidServerResponse;
            case CURLE_FTP_CANT_GET_HOST:
            case CURLE_FTP_ACCEPT_FAILED:
                return inet::kErrorCannotConnect;
            case CURLE_PARTIAL_FILE:
            case CURLE_UPLOAD_FAILED:
                return inet::kErrorConnectionAborted;
            default:
                return inet::kErrorInternalError;
        }
    }
};

struct CurlInternet::RemoteFile final : CurlInternet::Object {
    RemoteFile(HINTERNET conn, Connection* c)
        : Object(kFile, conn), connection(c), capacity(c->flushSize), data(new char[capacity]) {}
    Connection* connection;
    // Written bytes not yet taken by the transfer: [offset, used) of data.
    size_t capacity;
    std::unique_ptr<char[]> data;
    size_t used = 0;
    size_t offset = 0;
    bool eof = false;
    bool paused = false;
    bool started = false;
    bool failed = false;
    uint32_t error = 0;
    std::string detail;

    static size_t ReadCb(char* out, size_t size, size_t n, void* userp) {
        auto* f = static_cast<RemoteFile*>(userp);
        f->started = true;
        size_t avail = f->used - f->offset;
        if (avail == 0) {
            if (f->eof) return 0;
            f->paused = true;
            return CURL_READFUNC_PAUSE;
        }
        size_t k = std::min(size * n, avail);
        std::memcpy(out, f->data.get() + f->offset, k);
        f->offset += k;
        if (f->offset == f->used) f->used = f->offset = 0;
        ++f->connection->activity;
        return k;
    }

    void Resume() {
        if (paused) {
            paused = false;
            curl_easy_pause(connection->easy.get(), CURLPAUSE_CONT);
        }
    }

    bool SetFailed() {
        connection->ReadLateReply();
        failed = true;
        error = connection->result == CURLE_OK ? inet::kErrorConnectionAborted
                                               : connection->ErrorCode();
        detail = connection->Detail();
        return Fail(error, false, detail);
    }

    // Hands everything written so far to the transfer.
    bool Push() {
        Resume();
        if (connection->Drive([this] { return used == 0; })) return true;
        return SetFailed();
    }

    // Ends the upload and waits for the server's confirmation.
    bool Finish() {
        if (failed) return Fail(error, false, detail);
        eof = true;
        Resume();
        connection->Drive([] { return false; });
        if (connection->result != CURLE_OK) return SetFailed();
        return true;
    }
};

CurlInternet::CurlInternet() : CurlInternet(Timeouts{}) {}

CurlInternet::CurlInternet(Timeouts timeouts, size_t flushSize)
    : timeouts_(timeouts), flushSize_(std::clamp<size_t>(flushSize, 1024, 2 * 1024 * 1024)) {
    GlobalInit();
}

CurlInternet::~CurlInternet() {
    while (!handles_.empty()) Close(handles_.begin()->first, false);
}

CurlInternet::Object* CurlInternet::Find(HINTERNET h, int kind) {
    auto it = handles_.find(h);
    if (it == handles_.end()) return Fail<Object*>(inet::kErrorInvalidHandle, nullptr);
    if (it->second->kind != kind) return Fail<Object*>(inet::kErrorIncorrectHandleType, nullptr);
    return it->second.get();
}

HINTERNET CurlInternet::Add(std::unique_ptr<Object> obj) {
    HINTERNET h = next_++;
    handles_[h] = std::move(obj);
    return h;
}

HINTERNET CurlInternet::InternetOpenA(const std::string& agent, uint32_t, const char*, const char*,
                                      uint32_t) {
    return Add(std::make_unique<Session>(agent));
}

HINTERNET CurlInternet::InternetConnectA(HINTERNET session, const std::string& server,
                                         uint16_t port, const std::string& user,
                                         const std::string& password, uint32_t service,
                                         uint32_t flags, uintptr_t) {
    if (!Find(session, kSession)) return 0;
    if (service != inet::kServiceFtp) return Fail<HINTERNET>(inet::kErrorInvalidOperation, 0);
    // Nothing that could end an FTP command line early goes to the server.
    if (HasLineBreakOrNul(server) || HasLineBreakOrNul(user) || HasLineBreakOrNul(password)) {
        return Fail<HINTERNET>(inet::kErrorInvalidParameter, 0);
    }
    Endpoint at;
    if (!ParseServer(server, port, at)) return Fail<HINTERNET>(inet::kErrorInvalidUrl, 0);
    const bool tls =
        at.transport == Transport::FtpsExplicit || at.transport == Transport::FtpsImplicit;
    if (tls && !(flags & inet::kFlagPassive) && !ActiveTlsIsSafe()) {
        return Fail<HINTERNET>(inet::kErrorActiveTlsUnavailable, 0);
    }

    auto c = std::make_unique<Connection>(session, timeouts_, flushSize_, wait_, cancelled_);
    c->transport = at.transport;
    c->urlBase = std::string(at.transport == Transport::Sftp           ? "sftp://"
                             : at.transport == Transport::FtpsImplicit ? "ftps://"
                                                                       : "ftp://") +
                 at.host + ":" + std::to_string(at.port) + "/";
    c->serverPort = at.port;
    if (const char* ca = std::getenv("CURL_CA_BUNDLE"); ca && *ca) c->caBundle = ca;
    if (const char* kh = std::getenv(kKnownHostsVariable); kh && *kh) {
        c->knownHosts = kh;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        c->knownHosts = std::string(home) + "/.ssh/known_hosts";
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        c->knownHosts = std::string(pw->pw_dir) + "/.ssh/known_hosts";
    }
    c->user = user;
    c->password = password;
    c->replies.SetSecret(password);
    c->passive = (flags & inet::kFlagPassive) != 0;
    c->multi.reset(curl_multi_init());
    c->easy.reset(curl_easy_init());
    if (!c->multi || !c->easy) return Fail<HINTERNET>(inet::kErrorInternalError, 0);
    // Log in now: a wrong password or a dead server shows here, as callers expect.
    c->Prepare("");
    c->Set(CURLOPT_NOBODY, 1L);
    if (!c->RunToEnd()) return c->Failed<HINTERNET>(0);
    return Add(std::move(c));
}

bool CurlInternet::FtpSetCurrentDirectoryA(HINTERNET connection, const std::string& dir) {
    auto* c = static_cast<Connection*>(Find(connection, kConnection));
    if (!c) return false;
    if (c->openFile) return Fail(inet::kErrorFtpTransferInProgress, false);
    if (dir.empty() || HasLineBreakOrNul(dir)) return Fail(inet::kErrorInvalidParameter, false);
    std::string path = dir[0] == '/' ? dir : c->cwd + dir;
    if (path.back() != '/') path += '/';
    c->Prepare(path);
    if (c->transport == Transport::Sftp) {
        // Only a listing shows whether an SFTP folder is there.
        c->Set(CURLOPT_WRITEFUNCTION, &Connection::DiscardCb);
        c->Set(CURLOPT_WRITEDATA, c);
    } else {
        c->Set(CURLOPT_NOBODY, 1L);
    }
    if (!c->RunToEnd()) return c->Failed(false);
    c->cwd = path;
    return true;
}

HINTERNET CurlInternet::FtpOpenFileA(HINTERNET connection, const std::string& fileName,
                                     uint32_t access, uint32_t flags, uintptr_t) {
    auto* c = static_cast<Connection*>(Find(connection, kConnection));
    if (!c) return 0;
    if (c->openFile) return Fail<HINTERNET>(inet::kErrorFtpTransferInProgress, 0);
    if (access != inet::kGenericWrite) return Fail<HINTERNET>(inet::kErrorInvalidParameter, 0);
    if (fileName.empty() || fileName.back() == '/' || HasLineBreakOrNul(fileName)) {
        return Fail<HINTERNET>(inet::kErrorInvalidParameter, 0);
    }
    auto f = std::make_unique<RemoteFile>(connection, c);
    c->Prepare(fileName[0] == '/' ? fileName : c->cwd + fileName);
    c->Set(CURLOPT_UPLOAD, 1L);
    c->Set(CURLOPT_READFUNCTION, &RemoteFile::ReadCb);
    c->Set(CURLOPT_READDATA, f.get());
    c->Set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
    c->Set(CURLOPT_TRANSFERTEXT, (flags & 3u) == inet::kTransferTypeAscii ? 1L : 0L);
    if (!c->Start()) return c->Failed<HINTERNET>(0);
    // The store has begun once the transfer asks for its first bytes.
    RemoteFile* raw = f.get();
    if (!c->Drive([raw] { return raw->started; })) {
        c->Detach();
        if (c->result == CURLE_OK) return Fail<HINTERNET>(inet::kErrorConnectionAborted, 0);
        return c->Failed<HINTERNET>(0);
    }
    c->holdControl = c->transport == Transport::Ftp;
    HINTERNET h = Add(std::move(f));
    c->openFile = h;
    return h;
}

bool CurlInternet::InternetWriteFile(HINTERNET file, const void* buffer, uint32_t length,
                                     uint32_t* written) {
    // Called once per small block: the open file is looked up without the map.
    RemoteFile* f = file == lastFileHandle_ ? lastFile_ : nullptr;
    if (!f) {
        f = static_cast<RemoteFile*>(Find(file, kFile));
        if (f) {
            lastFileHandle_ = file;
            lastFile_ = f;
        }
    }
    if (written) *written = 0;
    if (!f) return false;
    if (f->failed) return Fail(f->error, false, f->detail);
    if (length > 0 && !buffer) return Fail(inet::kErrorInvalidParameter, false);
    // The transfer is woken only when the buffer is full: small blocks cost a copy each.
    const char* p = static_cast<const char*>(buffer);
    for (uint32_t left = length; left > 0;) {
        const size_t k = std::min<size_t>(left, f->capacity - f->used);
        std::memcpy(f->data.get() + f->used, p, k);
        f->used += k;
        p += k;
        left -= static_cast<uint32_t>(k);
        if (f->used == f->capacity && !f->Push()) return false;
    }
    if (written) *written = length;
    return true;
}

bool CurlInternet::Close(HINTERNET h, bool finish) {
    auto it = handles_.find(h);
    if (it == handles_.end()) return Fail(inet::kErrorInvalidHandle, false);
    std::vector<HINTERNET> children;
    for (const auto& [k, o] : handles_) {
        if (o->parent == h) children.push_back(k);
    }
    for (HINTERNET k : children) Close(k, false);
    it = handles_.find(h);
    bool ok = true;
    if (it->second->kind == kFile) {
        auto* f = static_cast<RemoteFile*>(it->second.get());
        Connection* c = f->connection;
        if (finish) ok = f->Finish();
        if (finish && ok) {
            c->holdControl = false;
            c->Detach();
        } else {
            c->Abort();  // a store that was not finished is never completed
        }
        c->openFile = 0;
    }
    if (h == lastFileHandle_) {
        lastFileHandle_ = 0;
        lastFile_ = nullptr;
    }
    handles_.erase(it);
    return ok;
}

bool CurlInternet::InternetCloseHandle(HINTERNET handle) {
    return Close(handle, true);
}

bool CurlInternet::InternetAbortFile(HINTERNET file) {
    if (!Find(file, kFile)) return false;
    return Close(file, false);
}

bool CurlInternet::FtpDeleteFileA(HINTERNET connection, const std::string& fileName) {
    auto* c = static_cast<Connection*>(Find(connection, kConnection));
    if (!c) return false;
    if (c->openFile) return Fail(inet::kErrorFtpTransferInProgress, false);
    if (fileName.empty() || fileName.back() == '/' || HasLineBreakOrNul(fileName)) {
        return Fail(inet::kErrorInvalidParameter, false);
    }
    // Sent once the current directory is reached (commands before the transfer would run
    // wherever a reused connection was left).
    c->Prepare(c->cwd);
    std::string command = "DELE " + fileName;
    if (c->transport == Transport::Sftp) {
        // Quoted, relative to the login directory as the file's URL is.
        const std::string path = fileName[0] == '/' ? fileName : c->cwd + fileName;
        command = "rm \"";
        for (char ch : path)
            command += ch == '"' || ch == '\\' ? std::string("\\") + ch : std::string(1, ch);
        command += '"';
    }
    c->quote.reset(curl_slist_append(nullptr, command.c_str()));
    if (!c->quote) return Fail(inet::kErrorInternalError, false);
    c->Set(c->transport == Transport::Sftp ? CURLOPT_QUOTE : CURLOPT_POSTQUOTE, c->quote.get());
    c->Set(CURLOPT_NOBODY, 1L);
    if (!c->RunToEnd()) return c->Failed(false);
    return true;
}

void CurlInternet::SetWaitCallback(std::function<void()> callback) {
    wait_ = std::move(callback);
}

HINTERNET CurlInternet::FtpFindFirstFileA(HINTERNET connection, const std::string& searchFile,
                                          FtpFindData* findData, uint32_t, uintptr_t) {
    auto* c = static_cast<Connection*>(Find(connection, kConnection));
    if (!c) return 0;
    if (c->openFile) return Fail<HINTERNET>(inet::kErrorFtpTransferInProgress, 0);
    if (searchFile.empty() || HasLineBreakOrNul(searchFile)) {
        return Fail<HINTERNET>(inet::kErrorInvalidParameter, 0);
    }
    size_t slash = searchFile.rfind('/');
    std::string dir = slash == std::string::npos ? "" : searchFile.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? searchFile : searchFile.substr(slash + 1);
    if (name.empty()) return Fail<HINTERNET>(inet::kErrorInvalidParameter, 0);
    c->Prepare(!dir.empty() && dir[0] == '/' ? dir : c->cwd + dir);
    const bool sftp = c->transport == Transport::Sftp;
    // SFTP lists the whole folder; the name is matched here.
    if (!sftp) c->Set(CURLOPT_CUSTOMREQUEST, ("LIST " + name).c_str());
    c->Set(CURLOPT_WRITEFUNCTION, &Connection::BodyCb);
    c->Set(CURLOPT_WRITEDATA, c);
    if (!c->RunToEnd() && !c->listingCut) {
        // 450 and 550 to a LIST mean that nothing matched.
        if (c->lastCode == 450 || c->lastCode == 550) {
            return Fail<HINTERNET>(inet::kErrorNoMoreFiles, 0);
        }
        return c->Failed<HINTERNET>(0);
    }
    FtpFindData data;
    bool found = false;
    size_t pos = 0;
    while (pos < c->body.size() && !found) {
        size_t end = c->body.find('\n', pos);
        if (end == std::string::npos) end = c->body.size();
        std::string line = c->body.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.rfind("total ", 0) == 0) continue;
        if (!ParseFtpListLine(line, data))
            return Fail<HINTERNET>(inet::kErrorInvalidServerResponse, 0);
        found = !sftp || (data.cFileName != "." && data.cFileName != ".." &&
                          ::fnmatch(name.c_str(), data.cFileName.c_str(), FNM_PERIOD) == 0);
    }
    if (!found) return Fail<HINTERNET>(inet::kErrorNoMoreFiles, 0);
    if (findData) *findData = data;
    return Add(std::make_unique<FindHandle>(connection));
}

bool CurlInternet::FtpPutFileA(HINTERNET connection, const std::string& localFile,
                               const std::string& remoteFile, uint32_t flags, uintptr_t) {
    auto* c = static_cast<Connection*>(Find(connection, kConnection));
    if (!c) return false;
    if (c->openFile) return Fail(inet::kErrorFtpTransferInProgress, false);
    if (remoteFile.empty() || remoteFile.back() == '/' || HasLineBreakOrNul(remoteFile)) {
        return Fail(inet::kErrorInvalidParameter, false);
    }
    FilePtr in(std::fopen(localFile.c_str(), "rb"));
    if (!in) return Fail(ErrorFromErrno(errno), false);
    struct stat st {};
    if (::fstat(::fileno(in.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Fail(inet::kErrorReadFault, false);
    }
    c->Prepare(remoteFile[0] == '/' ? remoteFile : c->cwd + remoteFile);
    c->Set(CURLOPT_UPLOAD, 1L);
    c->Set(CURLOPT_READDATA, in.get());  // the default callback freads it
    c->Set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
    c->Set(CURLOPT_TRANSFERTEXT, (flags & 3u) == inet::kTransferTypeAscii ? 1L : 0L);
    return c->RunToEnd() ? true : c->Failed(false);
}

uint32_t CurlInternet::GetLastError() {
    return t_error;
}

bool CurlInternet::InternetGetLastResponseInfoA(uint32_t* error, std::string& buffer,
                                                size_t bufferSize) {
    if (error) *error = 0;
    buffer = t_response;
    if (bufferSize == 0) {
        buffer.clear();
    } else if (buffer.size() > bufferSize - 1) {
        buffer.resize(bufferSize - 1);
    }
    return true;
}

std::string CurlInternet::FormatMessage(uint32_t code, size_t bufferSize) {
    const char* text = inet::MessageText(code);
    if (!text || code != t_error || t_detail.empty())
        return inet::FormatMessageText(code, bufferSize);
    std::string s = std::string(text) + " (" + t_detail + ")\r\n";
    if (s.size() > bufferSize - 1) s.resize(bufferSize == 0 ? 0 : bufferSize - 1);
    return s;
}

}  // namespace folioray

folioray::Internet* folioray_curl_new_internet() {
    return new folioray::CurlInternet();
}
