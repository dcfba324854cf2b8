#include "tests/support/Vsftpd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "tests/support/RunProcess.h"

namespace folioray::test {

namespace {

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";
constexpr const char* kSshd = "/usr/sbin/sshd";

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

// True once the server answers a connection with `greeting` (bounded wait).
bool Greets(bool v6, uint16_t port, const std::string& greeting) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_storage a;
        const socklen_t len = Loopback(v6, port, a);
        pollfd p{fd, POLLIN, 0};
        std::string got(greeting.size(), '\0');
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
                        (greeting.empty() || (::poll(&p, 1, 2000) > 0 &&
                                              ::recv(fd, got.data(), got.size(), MSG_WAITALL) ==
                                                  static_cast<ssize_t>(got.size()) &&
                                              got == greeting));
        ::close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

LoopbackServer::~LoopbackServer() {
    if (pid_ > 0) {
        Signal(SIGKILL);  // stopped or not
        ::waitpid(pid_, nullptr, 0);
    }
}

void LoopbackServer::Launch(bool v6, const std::function<std::vector<std::string>(uint16_t)>& start,
                            const std::string& greeting) {
    // A port taken by someone else in the meantime shows as a server that does not greet.
    for (int attempt = 0; attempt < 3 && pid_ < 0; ++attempt) {
        port_ = FreePort(v6);
        const std::vector<std::string> argv = start(port_);
        const std::string out = dir_ / "out";
        pid_ = ::fork();
        if (pid_ == 0) {
            // A test that dies without its destructors takes its server with it.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        if (pid_ > 0 && !Greets(v6, port_, greeting)) {
            why_ = argv[0] + " did not start: " + ReadFile(out);
            Signal(SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    if (pid_ > 0) why_.clear();
}

bool LoopbackServer::Run(const std::vector<std::string>& argv) {
    const ProcessResult r = RunProcess(argv);
    if (r.exitCode != 0) why_ = argv[0] + " failed: " + r.err;
    return r.exitCode == 0;
}

std::string LoopbackServer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string LoopbackServer::Log() const {
    return Exists(dir_ / "log") ? ReadFile(dir_ / "log") : std::string();
}

void LoopbackServer::Signal(int sig) {
    if (pid_ <= 0 || (sig == SIGCONT && !stopped_)) return;
    stopped_ = sig == SIGSTOP;
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
    std::string tls = "ssl_enable=NO\n";
    if (options_.tls != Tls::Off) {
        // A private CA, and the server's certificate for 127.0.0.1 signed by it.
        const std::string ca = caFile(), caKey = dir_ / "ca.key", key = dir_ / "server.key",
                          csr = dir_ / "server.csr", cert = dir_ / "server.pem",
                          ext = dir_ / "ext.cnf", openssl = "/usr/bin/openssl";
        WriteFile(ext, "subjectAltName=IP:127.0.0.1\n");
        auto newKey = [&](std::vector<std::string> args, const char* subject) {
            for (const char* a : {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                  "-nodes", "-subj", subject}) {
                args.push_back(a);
            }
            return Run(args);
        };
        const bool ok =
            newKey({openssl, "req", "-x509", "-days", "2", "-keyout", caKey, "-out", ca},
                   "/CN=Folioray test CA") &&
            newKey({openssl, "req", "-keyout", key, "-out", csr}, "/CN=127.0.0.1") &&
            Run({openssl, "x509", "-req", "-in", csr, "-CA", ca, "-CAkey", caKey, "-CAcreateserial",
                 "-out", cert, "-days", "2", "-extfile", ext});
        if (!ok) return;
        tls =
            "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
            "force_anon_data_ssl=YES\nrsa_cert_file=" +
            cert + "\nrsa_private_key_file=" + key +
            (options_.tls == Tls::Implicit ? "\nimplicit_ssl=YES\n" : "\n");
    }
    const std::string conf = dir_ / "vsftpd.conf";
    Launch(
        options_.ipv6,
        [&](uint16_t port) {
            WriteFile(conf,
                      std::string(options_.ipv6 ? "listen_ipv6=YES\nlisten_address6=::1\n"
                                                : "listen=YES\nlisten_address=127.0.0.1\n") +
                          "listen_port=" + std::to_string(port) +
                          "\nwrite_enable=" + (options_.writeEnable ? "YES" : "NO") +
                          "\nmax_clients=" + std::to_string(options_.maxClients) +
                          "\nanon_root=" + root_.path() + "\nvsftpd_log_file=" + (dir_ / "log") +
                          "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\n"
                          "anon_upload_enable=YES\nanon_other_write_enable=YES\n"
                          "secure_chroot_dir=/var/run/vsftpd/empty\nxferlog_enable=YES\n"
                          "xferlog_std_format=NO\nlog_ftp_protocol=YES\nseccomp_sandbox=NO\n" +
                          tls);
            return std::vector<std::string>{kVsftpd, conf};
        },
        // An implicit TLS server says nothing before the handshake.
        options_.tls == Tls::Implicit ? "" : "220");
}

Vsftpd::~Vsftpd() {
    if (pid_ > 0) {
        Signal(SIGKILL);  // stopped or not
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (mounted_) ::umount2((root_ / "up").c_str(), MNT_DETACH);
}

std::string Vsftpd::address() const {
    return options_.ipv6 ? "[::1]:" + std::to_string(port_) : LoopbackServer::address();
}

bool Sshd::Installed() {
    return ::access(kSshd, X_OK) == 0 && ::geteuid() == 0;
}

Sshd::Sshd() {
    if (!Installed()) {
        why_ = "sshd or root rights are missing";
        return;
    }
    // The test user logs in with a password only; it is made once and kept.
    if (!::getpwnam(kUser) &&
        !Run({"/usr/sbin/useradd", "-M", "-d", "/nonexistent", "-s", "/usr/sbin/nologin", kUser})) {
        return;
    }
    const passwd* user = ::getpwnam(kUser);
    const std::string up = root_ / "up", key = dir_ / "host_key", users = dir_ / "chpasswd";
    WriteFile(users, std::string(kUser) + ":" + kPassword + "\n");
    ::chmod(root_.path().c_str(), 0755);
    ::mkdir(up.c_str(), 0755);
    ::mkdir("/run/sshd", 0755);  // its privilege separation folder, made by the service
    if (!user || ::chown(up.c_str(), user->pw_uid, user->pw_gid) != 0 ||
        !Run({"/bin/sh", "-c", "/usr/sbin/chpasswd < '" + users + "'"}) ||
        !Run({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key})) {
        if (why_.empty()) why_ = "cannot prepare the test user";
        return;
    }
    const std::string publicKey = ReadFile(key + ".pub");
    const std::string conf = dir_ / "sshd_config";
    Launch(
        false,
        [&](uint16_t port) {
            const std::string sftp = "internal-sftp -d " + root_.path();
            WriteFile(conf, "ListenAddress 127.0.0.1:" + std::to_string(port) + "\nHostKey " + key +
                                "\nPidFile none\nStrictModes no\nUsePAM no\n"
                                "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                                "PubkeyAuthentication no\nAuthorizedKeysFile none\n"
                                "PermitRootLogin no\nAllowUsers " +
                                kUser + "\nSubsystem sftp " + sftp + "\nForceCommand " + sftp +
                                "\nLogLevel VERBOSE\n");
            // The key's type and text, without its comment.
            WriteFile(knownHosts(), "[127.0.0.1]:" + std::to_string(port) + " " +
                                        publicKey.substr(0, publicKey.rfind(' ')) + "\n");
            return std::vector<std::string>{kSshd, "-D", "-e", "-f", conf, "-E", dir_ / "log"};
        },
        "SSH-");
}

}  // namespace folioray::test
