#include "tests/support/FtpServer.h"

#include <stdexcept>
#include <vector>

namespace folioray::test {

FtpServer::FtpServer() : FtpServer(Options{}) {}

FtpServer::FtpServer(const Options& options) : options_(options) {
    Launch(
        false,
        [&](uint16_t port) {
            std::vector<std::string> args = {"/usr/bin/python3", SupportDir() + "/ftp_server.py",
                                             root_.path(),       options_.user,
                                             options_.password,  std::to_string(port)};
            if (options_.dropAfter >= 0) {
                args.push_back("--drop-after");
                args.push_back(std::to_string(options_.dropAfter));
            }
            if (options_.echoPassword) args.push_back("--echo-password");
            return args;
        },
        "220");
    if (!why_.empty()) throw std::runtime_error(why_);
}

}  // namespace folioray::test
