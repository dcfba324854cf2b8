#pragma once
// One page's control: a ScanControl with the real adapters, whose container is the page
// at the other end of a WebSocket.
//
// Threads: the socket belongs to the service's network thread; the control runs on a
// thread of its own, the session's "window thread". A blocking member (a scan, an
// upload, a message box waiting for the page) blocks only its own session, and the
// network thread keeps taking the page's messages into the session's queue, which the
// control's pumped waits read. Closing the page ends those waits.
#include <boost/asio/io_context.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace folioray::web {

struct SessionSettings {
    std::string root;    // when set, the working folder and file names stay inside it
    std::string device;  // SANE device; "" for the first listed
    std::string source;  // the device the Source command picks
};

class WebSession : public std::enable_shared_from_this<WebSession> {
  public:
    using Socket = boost::beast::websocket::stream<boost::beast::tcp_stream>;

    WebSession(Socket socket, std::string token, SessionSettings settings);
    ~WebSession();
    WebSession(const WebSession&) = delete;
    WebSession& operator=(const WebSession&) = delete;

    // Network thread: starts reading the page and the window thread. `ended` runs on
    // the network thread once the control is gone and its devices released.
    void Start(std::function<void()> ended);
    // Any thread: the page is gone (or the service stops); pending waits return.
    void Close();

    const std::string& Token() const { return token_; }
    // The file the preview shows now and its content type; nothing before a load.
    std::optional<std::pair<std::string, std::string>> PreviewFile() const;

  private:
    class Window;  // the control and its container, on the window thread
    friend class Window;

    // Network thread.
    void Read();
    void Write();
    void Lost();
    // Window thread: hands a message to the network thread.
    void Send(const nlohmann::json& message);

    Socket socket_;
    const std::string token_;
    const SessionSettings settings_;
    boost::beast::flat_buffer readBuffer_;
    std::deque<std::string> outbox_;  // network thread only
    bool closing_ = false;            // network thread only
    std::function<void()> ended_;

    // Shared between the threads.
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::string> inbox_;  // the page's messages, not yet taken
    bool closed_ = false;
    std::function<void()> cancel_;  // the window's: ends its transfer's waits
    std::string previewPath_;
};

}  // namespace folioray::web
