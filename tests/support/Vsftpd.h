#pragma once
// Upload servers on a free loopback port with a private configuration, started by the
// test and stopped by the pids of their processes (the listener and every session) in
// the destructor: vsftpd (anonymous logins, plain or TLS with a private CA's certificate
// for 127.0.0.1) and sshd (SFTP for one test user). Uploads go into "up/" under a fresh
// root.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace folioray::test {

class LoopbackServer {
  public:
    virtual ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Empty when the server could not be started (`why` says what went wrong).
    const std::string& why() const { return why_; }
    uint16_t port() const { return port_; }
    virtual std::string address() const;
    std::string file(const std::string& name) const { return root_ / ("up/" + name); }
    // What the server logged: for vsftpd every command and one line per transfer ("OK
    // UPLOAD" or "FAIL UPLOAD"), for sshd each connection and login.
    std::string Log() const;
    // Signals the listener and its sessions: SIGKILL, SIGSTOP, SIGCONT (only after a stop:
    // under strace, a SIGCONT to a running process is taken for a stop that is not there).
    void Signal(int sig);

  protected:
    LoopbackServer() = default;
    // Writes the configuration for the port, starts argv and waits until it answers with
    // `greeting` (any connection at all when empty); a few tries on fresh ports.
    void Launch(bool v6, const std::function<std::vector<std::string>(uint16_t)>& start,
                const std::string& greeting);
    // Runs a tool of the set-up; false (and `why`) when it fails.
    bool Run(const std::vector<std::string>& argv);

    TempDir dir_;
    TempDir root_;
    pid_t pid_ = -1;
    bool stopped_ = false;
    uint16_t port_ = 0;
    std::string why_;
};

class Vsftpd final : public LoopbackServer {
  public:
    enum class Tls { Off, Explicit, Implicit };
    struct Options {
        bool ipv6 = false;        // listen on ::1 instead of 127.0.0.1
        bool writeEnable = true;  // write_enable
        int maxClients = 0;       // max_clients (0: no limit)
        uint64_t diskBytes = 0;   // "up/" on a tmpfs of this size (0: the ordinary disk)
        Tls tls = Tls::Off;       // TLS required for logins and data
    };
    static constexpr const char* kUser = "anonymous";

    static bool Installed();
    explicit Vsftpd(const Options& options);
    ~Vsftpd() override;

    std::string address() const override;
    // The private CA that signed the server's certificate (with TLS only).
    std::string caFile() const { return dir_ / "ca.pem"; }

  private:
    Options options_;
    bool mounted_ = false;
};

class Sshd final : public LoopbackServer {
  public:
    static constexpr const char* kUser = "folioray-sftp";
    static constexpr const char* kPassword = "pw-Secret-42";

    static bool Installed();
    Sshd();

    // A known_hosts file that holds the server's host key.
    std::string knownHosts() const { return dir_ / "known_hosts"; }
};

}  // namespace folioray::test
