#pragma once
// A real FTP server (pyftpdlib under /usr/bin/python3) on 127.0.0.1 with an ephemeral
// port and a fresh root folder; stopped in the destructor.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "tests/support/TempDir.h"

namespace folioray::test {

class FtpServer {
  public:
    struct Options {
        std::string user = "tester";
        std::string password = "pw-Secret-42";
        long dropAfter = -1;        // reset each STOR's data connection after this many bytes
        bool echoPassword = false;  // the login failure reply repeats the password
    };

    FtpServer();  // default options
    explicit FtpServer(const Options& options);
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::string& user() const { return options_.user; }
    const std::string& password() const { return options_.password; }
    // The server's root folder (the login directory); no trailing "/".
    const std::string& root() const { return root_.path(); }
    std::string file(const std::string& relative) const { return root_ / relative; }

  private:
    Options options_;
    TempDir root_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

// The folder of the support files (scripts) in the source tree.
std::string SupportDir();

}  // namespace folioray::test
