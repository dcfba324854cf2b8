#pragma once
// A real FTP server (pyftpdlib under /usr/bin/python3) on 127.0.0.1 with a free port and
// a fresh root folder; stopped in the destructor.
#include <string>

#include "tests/support/Vsftpd.h"

namespace folioray::test {

class FtpServer final : public LoopbackServer {
  public:
    struct Options {
        std::string user = "tester";
        std::string password = "pw-Secret-42";
        long dropAfter = -1;        // reset each STOR's data connection after this many bytes
        bool echoPassword = false;  // the login failure reply repeats the password
    };

    FtpServer();  // default options
    explicit FtpServer(const Options& options);

    const std::string& user() const { return options_.user; }
    const std::string& password() const { return options_.password; }
    // The server's root folder (the login directory); no trailing "/".
    const std::string& root() const { return root_.path(); }
    std::string file(const std::string& relative) const { return root_ / relative; }

  private:
    Options options_;
};

}  // namespace folioray::test
