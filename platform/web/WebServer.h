#pragma once
// The loopback service: static files, sessions, and each session's WebSocket and
// preview. Everything here runs on the one network thread of `io`; the sessions' controls
// run on their own threads.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/web/RequestCheck.h"
#include "platform/web/WebSession.h"

namespace folioray::web {

struct ServerSettings {
    std::vector<std::string> allowedOrigins;
    std::string dataDir;  // folioray.js, demo.html, icons/
    SessionSettings session;
};

class WebServer {
  public:
    WebServer(boost::asio::io_context& io, ServerSettings settings);
    ~WebServer();

    // Listens on 127.0.0.1 and ::1 (either may fail alone); 0 picks a free port. Returns
    // the port; throws when neither address can be had.
    uint16_t Listen(uint16_t port);
    // Stops taking connections and ends every session; `done` runs once all have ended.
    void Stop(std::function<void()> done);

    // For the connections.
    const Policy& policy() const { return policy_; }
    const ServerSettings& settings() const { return settings_; }
    // A fresh session token for a page of `origin`; "" when too many wait.
    std::string NewToken(const std::string& origin);
    // True once for a token made for `origin` that has not expired.
    bool TakeToken(const std::string& token, const std::string& origin);
    void AddSession(const std::shared_ptr<WebSession>& session);
    std::shared_ptr<WebSession> FindSession(const std::string& token) const;

  private:
    struct Pending {
        std::string origin;
        std::chrono::steady_clock::time_point expires;
    };
    void Accept(boost::asio::ip::tcp::acceptor& acceptor);
    void Ended(const std::string& token);

    boost::asio::io_context& io_;
    ServerSettings settings_;
    Policy policy_;
    std::vector<std::unique_ptr<boost::asio::ip::tcp::acceptor>> acceptors_;
    std::map<std::string, Pending> pending_;
    std::map<std::string, std::shared_ptr<WebSession>> sessions_;
    std::function<void()> stopped_;
    bool stopping_ = false;
};

}  // namespace folioray::web
