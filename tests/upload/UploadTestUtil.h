#pragma once
// Shared bits of the upload tests: file contents and sockets that misbehave.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace folioray::test {

// Bytes that differ from block to block and hold CR, LF and NUL (a text-mode transfer
// would change them).
inline std::string PatternBytes(size_t n) {
    std::string s(n, '\0');
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s[i] = static_cast<char>(x & 0xFF);
    }
    if (n > 2) {
        s[0] = '\r';
        s[1] = '\n';
        s[2] = '\0';
    }
    return s;
}

// The events an upload of n bytes raises: (255, n), (510, n) ... (n, n).
inline std::vector<std::pair<int32_t, int32_t>> ExpectedEvents(int32_t n) {
    std::vector<std::pair<int32_t, int32_t>> v;
    for (int32_t k = 1; k <= n / 255; ++k) v.emplace_back(255 * k, n);
    v.emplace_back(n, n);
    return v;
}

// A TCP socket on 127.0.0.1 that listens but never accepts: connections complete in the
// backlog and then hear nothing, as from a hung server.
class SilentListener {
  public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            ::listen(fd_, 8) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
            throw std::runtime_error("listen failed");
        }
        port_ = ntohs(a.sin_port);
    }
    ~SilentListener() {
        if (fd_ >= 0) ::close(fd_);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // True when some client has connected (the connection waits in the backlog).
    bool SomeoneConnected() {
        int fl = ::fcntl(fd_, F_GETFL);
        ::fcntl(fd_, F_SETFL, fl | O_NONBLOCK);
        int c = ::accept(fd_, nullptr, nullptr);
        ::fcntl(fd_, F_SETFL, fl);
        if (c < 0) return false;
        ::close(c);
        return true;
    }

  private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on (taken and given back at once).
inline uint16_t ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

}  // namespace folioray::test
