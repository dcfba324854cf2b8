#include "tests/support/Vsftpd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

namespace folioray::test {

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";

// The loopback address of the family, with `port`.
socklen_t Loopback(bool v6, uint16_t port, sockaddr_storage& a) {
    a = {};
    if (v6) {
        auto* s = reinterpret_cast<sockaddr_in6*>(&a);
        s->sin6_family = AF_INET6;
        s->sin6_addr = in6addr_loopback;
        s->sin6_port = htons(port);
        return sizeof *s;
    }
    auto* s = reinterpret_cast<sockaddr_in*>(&a);
    s->sin_family = AF_INET;
    s->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    s->sin_port = htons(port);
    return sizeof *s;
}

// A port nobody listens on now (the server binds it a moment later).
uint16_t FreePort(bool v6) {
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage a;
    socklen_t len = Loopback(v6, 0, a);
    uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port);  // same place in both
    }
    ::close(fd);
    return port;
}

// True once the server greets a connection with 220 (bounded wait).
bool Greets(bool v6, uint16_t port) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_storage a;
        const socklen_t len = Loopback(v6, port, a);
        pollfd p{fd, POLLIN, 0};
        char code[3] = {};
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
                        ::poll(&p, 1, 2000) > 0 && ::recv(fd, code, 3, MSG_WAITALL) == 3 &&
                        std::string(code, 3) == "220";
        ::close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

bool Vsftpd::Installed() {
    return ::access(kVsftpd, X_OK) == 0 && ::getpwnam("ftp") && ::geteuid() == 0;
}

Vsftpd::Vsftpd(const Options& options) : options_(options) {
    const passwd* ftp = ::getpwnam("ftp");
    if (!Installed() || !ftp) {
        why_ = "vsftpd, its user \"ftp\" or root rights are missing";
        return;
    }
    // The root may not be writable by the anonymous user; its "up/" is.
    ::chmod(root_.path().c_str(), 0755);
    const std::string up = root_ / "up";
    ::mkdir(up.c_str(), 0755);
    if (options_.diskBytes) {
        const std::string opts = "size=" + std::to_string(options_.diskBytes) +
                                 ",mode=0755,uid=" + std::to_string(ftp->pw_uid) +
                                 ",gid=" + std::to_string(ftp->pw_gid);
        if (::mount("tmpfs", up.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, opts.c_str()) != 0) {
            why_ = "cannot mount a tmpfs";
            return;
        }
        mounted_ = true;
    }
    if (::chown(up.c_str(), ftp->pw_uid, ftp->pw_gid) != 0) {
        why_ = "cannot hand the upload folder to \"ftp\"";
        return;
    }

    // A port taken by someone else in the meantime shows as a server that does not greet.
    for (int attempt = 0; attempt < 3 && pid_ < 0; ++attempt) {
        port_ = FreePort(options_.ipv6);
        const std::string conf = dir_ / "vsftpd.conf", out = dir_ / "out";
        WriteFile(conf, std::string(options_.ipv6 ? "listen_ipv6=YES\nlisten_address6=::1\n"
                                                  : "listen=YES\nlisten_address=127.0.0.1\n") +
                            "listen_port=" + std::to_string(port_) +
                            "\nwrite_enable=" + (options_.writeEnable ? "YES" : "NO") +
                            "\nmax_clients=" + std::to_string(options_.maxClients) +
                            "\nanon_root=" + root_.path() + "\nvsftpd_log_file=" + (dir_ / "log") +
                            "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\n"
                            "anon_upload_enable=YES\nanon_other_write_enable=YES\n"
                            "secure_chroot_dir=/var/run/vsftpd/empty\nxferlog_enable=YES\n"
                            "xferlog_std_format=NO\nseccomp_sandbox=NO\n");
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            ::execl(kVsftpd, kVsftpd, conf.c_str(), nullptr);
            ::_exit(127);
        }
        if (pid_ > 0 && !Greets(options_.ipv6, port_)) {
            why_ = "vsftpd did not start: " + ReadFile(out);
            Signal(SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    if (pid_ > 0) why_.clear();
}

Vsftpd::~Vsftpd() {
    if (pid_ > 0) {
        Signal(SIGCONT);
        Signal(SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (mounted_) ::umount2((root_ / "up").c_str(), MNT_DETACH);
}

std::string Vsftpd::address() const {
    return (options_.ipv6 ? "[::1]:" : "127.0.0.1:") + std::to_string(port_);
}

std::string Vsftpd::Log() const {
    return Exists(dir_ / "log") ? ReadFile(dir_ / "log") : std::string();
}

void Vsftpd::Signal(int sig) {
    if (pid_ <= 0) return;
    // Each session leads a group of its own: the server's processes are found by parent.
    std::vector<pid_t> family = {pid_};
    for (size_t i = 0; i < family.size(); ++i) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
            const std::string name = e.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string stat = Exists(e.path() / "stat") ? ReadFile(e.path() / "stat") : "";
            const size_t close = stat.rfind(')');
            if (close == std::string::npos) continue;
            int ppid = 0;
            if (std::sscanf(stat.c_str() + close + 1, " %*c %d", &ppid) == 1 && ppid == family[i]) {
                family.push_back(std::stoi(name));
            }
        }
    }
    for (pid_t p : family) ::kill(p, sig);
}

}  // namespace folioray::test
