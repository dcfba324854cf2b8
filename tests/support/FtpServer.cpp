#include "tests/support/FtpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace folioray::test {

namespace {

void StopProcess(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {  // up to 5 s, then no more asking
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

std::string SupportDir() {
    if (const char* src = std::getenv("FOLIORAY_SOURCE_DIR"); src && *src) {
        return std::string(src) + "/tests/support";
    }
    return FOLIORAY_TEST_SUPPORT_DIR;
}

FtpServer::FtpServer() : FtpServer(Options{}) {}

FtpServer::FtpServer(const Options& options) : options_(options) {
    std::vector<std::string> args = {"/usr/bin/python3", SupportDir() + "/ftp_server.py",
                                     root_.path(), options_.user, options_.password};
    if (options_.dropAfter >= 0) {
        args.push_back("--drop-after");
        args.push_back(std::to_string(options_.dropAfter));
    }
    if (options_.echoPassword) args.push_back("--echo-password");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        throw std::runtime_error("could not start /usr/bin/python3");
    }

    // Wait (bounded) for "PORT <n>".
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (out.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[256];
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (out.rfind("PORT ", 0) != 0) {
        StopProcess(pid_);
        throw std::runtime_error("the FTP server did not start: " + out);
    }
    port_ = static_cast<uint16_t>(std::atoi(out.c_str() + 5));
}

FtpServer::~FtpServer() {
    StopProcess(pid_);
}

}  // namespace folioray::test
