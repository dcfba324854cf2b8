#pragma once
// vsftpd (Debian's package) on a free loopback port with a private configuration:
// anonymous logins, uploads into "up/" under a fresh root. Started by the test, stopped
// by the pids of its processes (the listener and every session) in the destructor.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tests/support/TempDir.h"

namespace folioray::test {

class Vsftpd {
  public:
    struct Options {
        bool ipv6 = false;        // listen on ::1 instead of 127.0.0.1
        bool writeEnable = true;  // write_enable
        int maxClients = 0;       // max_clients (0: no limit)
        uint64_t diskBytes = 0;   // "up/" on a tmpfs of this size (0: the ordinary disk)
    };
    static constexpr const char* kUser = "anonymous";

    static bool Installed();
    explicit Vsftpd(const Options& options);
    ~Vsftpd();
    Vsftpd(const Vsftpd&) = delete;
    Vsftpd& operator=(const Vsftpd&) = delete;

    // Empty when the server could not be started (`why` says what went wrong).
    const std::string& why() const { return why_; }
    uint16_t port() const { return port_; }
    std::string address() const;
    std::string file(const std::string& name) const { return root_ / ("up/" + name); }
    // What the server logged (one line per transfer: "OK UPLOAD" or "FAIL UPLOAD").
    std::string Log() const;
    // Signals the listener and its sessions: SIGKILL, SIGSTOP, SIGCONT.
    void Signal(int sig);

  private:
    Options options_;
    TempDir dir_;
    TempDir root_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace folioray::test
