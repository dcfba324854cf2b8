#include "tests/faults/FtpPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace folioray::test {

bool FtpPeer::Conn::Stopping() const {
    return stop_.load();
}

bool FtpPeer::Conn::Send(const std::string& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        if (stop_.load()) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 100) <= 0) continue;  // a client that does not read: ask again
        const ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> FtpPeer::Conn::ReadLine(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs && !stop_.load();) {
        const size_t nl = buffered_.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, 50);
        if (r == 0) {
            waited += 50;
            continue;
        }
        char buf[4096];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0) return std::nullopt;
        buffered_.append(buf, static_cast<size_t>(n));
    }
    return std::nullopt;
}

void FtpPeer::Conn::AnswerEverything(const std::string& reply) {
    while (auto line = ReadLine()) {
        if (!Send(reply)) return;
    }
}

FtpPeer::FtpPeer(Script script) : script_(std::move(script)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
        ::listen(listenFd_, 8) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (listenFd_ >= 0) ::close(listenFd_);
        throw std::runtime_error("the FTP peer cannot listen");
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

FtpPeer::~FtpPeer() {
    stop_ = true;
    thread_.join();
    ::close(listenFd_);
}

void FtpPeer::Serve() {
    while (!stop_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        Conn conn(fd, stop_);
        script_(conn);
        ::close(fd);
    }
}

}  // namespace folioray::test
