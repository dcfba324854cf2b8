#pragma once
// A server on 127.0.0.1 that speaks broken FTP on the control connection, for what no
// real server does on cue: garbage, replies without codes, lines without end, replies
// that never finish. Each connection runs the script; the peer's thread stops in the
// destructor, whatever the script is doing.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace folioray::test {

class FtpPeer {
  public:
    class Conn {
      public:
        // False once the client has gone or the peer is stopping.
        bool Send(const std::string& bytes);
        // The next command line without its line end; nothing when the client went away,
        // the peer stops, or nothing came for `timeoutMs`.
        std::optional<std::string> ReadLine(int timeoutMs = 5000);
        // Reads commands and answers each with `reply` until the client goes.
        void AnswerEverything(const std::string& reply);
        bool Stopping() const;

      private:
        friend class FtpPeer;
        Conn(int fd, const std::atomic<bool>& stop) : fd_(fd), stop_(stop) {}
        int fd_;
        const std::atomic<bool>& stop_;
        std::string buffered_;
    };
    using Script = std::function<void(Conn&)>;

    explicit FtpPeer(Script script);
    ~FtpPeer();
    FtpPeer(const FtpPeer&) = delete;
    FtpPeer& operator=(const FtpPeer&) = delete;

    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    int connections() const { return connections_.load(); }

  private:
    void Serve();

    Script script_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

}  // namespace folioray::test
