#include "platform/web/WebServer.h"

#include <sys/random.h>

#include <boost/asio/ip/v6_only.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

namespace folioray::web {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = boost::asio::ip::tcp;

namespace {

constexpr auto kTokenLifetime = std::chrono::seconds(30);
constexpr auto kIdleConnection = std::chrono::seconds(30);
constexpr size_t kMaxPending = 64;
constexpr size_t kMaxSessions = 16;

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string TypeOf(const std::string& file) {
    if (file.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (file.ends_with(".html")) return "text/html; charset=utf-8";
    if (file.ends_with(".png")) return "image/png";
    return "application/octet-stream";
}

const char* Why(int status) {
    switch (status) {
        case 401:
            return "no session has this token";
        case 403:
            return "this origin may not use the service";
        case 404:
            return "not found";
        case 405:
            return "method not allowed";
        case 413:
            return "request body too large";
        case 421:
            return "this service answers only to 127.0.0.1, localhost and [::1] on its port";
        case 426:
            return "WebSocket upgrade required";
        case 431:
            return "request headers too large";
        case 503:
            return "too many sessions";
        default:
            return "refused";
    }
}

// One HTTP connection; a WebSocket upgrade hands its stream to a session.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(WebServer& server, tcp::socket socket)
        : server_(server), stream_(std::move(socket)) {}

    void Read() {
        parser_.emplace();
        parser_->header_limit(kMaxHeaderBytes);
        parser_->body_limit(kMaxBodyBytes);
        stream_.expires_after(kIdleConnection);
        http::async_read(
            stream_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, size_t) { self->OnRead(ec); });
    }

  private:
    using Response = http::response<http::string_body>;

    void OnRead(beast::error_code ec) {
        if (ec == http::error::header_limit) return Refuse(431, false);
        if (ec == http::error::body_limit) return Refuse(413, false);
        if (ec) return Shut();
        request_ = parser_->release();
        RequestFacts facts{std::string(request_.method_string()), std::string(request_.target()),
                           std::string(request_[http::field::host]), std::nullopt,
                           websocket::is_upgrade(request_)};
        if (request_.find(http::field::origin) != request_.end()) {
            facts.origin = std::string(request_[http::field::origin]);
        }
        origin_ = facts.origin.value_or("");
        const Verdict v = CheckRequest(facts, server_.policy());
        switch (v.route) {
            case Route::Refused:
                return Refuse(v.status, request_.keep_alive());
            case Route::Preflight: {
                Response r = Make(http::status::no_content, "", "");
                r.set(http::field::access_control_allow_methods, "GET, POST");
                r.set(http::field::access_control_allow_headers, "content-type");
                r.set("Access-Control-Allow-Private-Network", "true");
                r.set(http::field::access_control_max_age, "600");
                return Send(std::move(r));
            }
            case Route::StaticFile: {
                const auto body = ReadFile(server_.settings().dataDir + "/" + v.file);
                if (!body) return Refuse(404, request_.keep_alive());
                return Send(Make(http::status::ok, *body, TypeOf(v.file)));
            }
            case Route::NewSession: {
                const std::string token = server_.NewToken(origin_);
                if (token.empty()) return Refuse(503, request_.keep_alive());
                const nlohmann::json body = {{"token", token}, {"ws", "/ws?token=" + token}};
                return Send(Make(http::status::created, body.dump(), "application/json"));
            }
            case Route::Preview: {
                const auto session = server_.FindSession(v.token);
                const auto file = session ? session->PreviewFile() : std::nullopt;
                const auto body = file ? ReadFile(file->first) : std::nullopt;
                if (!body) return Refuse(404, request_.keep_alive());
                return Send(Make(http::status::ok, *body, file->second));
            }
            case Route::Socket:
                if (!server_.TakeToken(v.token, origin_)) return Refuse(401, false);
                return Upgrade(v.token);
        }
    }

    Response Make(http::status status, std::string body, const std::string& type) {
        Response r{status, request_.version()};
        r.set(http::field::server, "folioray-service");
        if (!type.empty()) r.set(http::field::content_type, type);
        r.set(http::field::cache_control, "no-store");
        if (!origin_.empty()) {
            r.set(http::field::access_control_allow_origin, origin_);
            r.set(http::field::vary, "Origin");
        }
        r.keep_alive(request_.keep_alive());
        r.body() = std::move(body);
        r.prepare_payload();
        return r;
    }

    void Refuse(int status, bool keepAlive) {
        // A refused Origin gets no CORS header: the page learns nothing but the refusal.
        if (status == 403) origin_.clear();
        Response r = Make(static_cast<http::status>(status), std::string(Why(status)) + "\n",
                          "text/plain; charset=utf-8");
        r.keep_alive(keepAlive);
        Send(std::move(r));
    }

    void Send(Response r) {
        auto response = std::make_shared<Response>(std::move(r));
        http::async_write(stream_, *response,
                          [self = shared_from_this(), response](beast::error_code ec, size_t) {
                              if (ec || !response->keep_alive()) return self->Shut();
                              self->Read();
                          });
    }

    void Shut() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    }

    void Upgrade(const std::string& token) {
        stream_.expires_never();
        auto ws = std::make_shared<WebSession::Socket>(std::move(stream_));
        // A page that vanishes without closing its socket stops answering the pings.
        websocket::stream_base::timeout timeouts{};
        timeouts.handshake_timeout = std::chrono::seconds(30);
        timeouts.idle_timeout = std::chrono::seconds(60);
        timeouts.keep_alive_pings = true;
        ws->set_option(timeouts);
        ws->set_option(websocket::stream_base::decorator(
            [](websocket::response_type& r) { r.set(http::field::server, "folioray-service"); }));
        auto request = std::make_shared<http::request<http::string_body>>(std::move(request_));
        WebServer& server = server_;
        ws->async_accept(*request, [ws, request, token, &server](beast::error_code ec) {
            if (ec) return;
            auto session =
                std::make_shared<WebSession>(std::move(*ws), token, server.settings().session);
            server.AddSession(session);
        });
    }

    WebServer& server_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    http::request<http::string_body> request_;
    std::string origin_;
};

std::string RandomToken() {
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("no random bytes from the system");
        }
        got += static_cast<size_t>(n);
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token += hex[b >> 4];
        token += hex[b & 15];
    }
    return token;
}

}  // namespace

WebServer::WebServer(boost::asio::io_context& io, ServerSettings settings)
    : io_(io), settings_(std::move(settings)) {
    policy_.allowedOrigins = settings_.allowedOrigins;
}

WebServer::~WebServer() = default;

uint16_t WebServer::Listen(uint16_t port) {
    std::string errors;
    for (const char* address : {"127.0.0.1", "::1"}) {
        try {
            auto a = std::make_unique<tcp::acceptor>(io_);
            const tcp::endpoint at(boost::asio::ip::make_address(address), port);
            a->open(at.protocol());
            a->set_option(tcp::acceptor::reuse_address(true));
            if (at.address().is_v6()) a->set_option(boost::asio::ip::v6_only(true));
            a->bind(at);
            a->listen();
            port = a->local_endpoint().port();  // the one a second address must share
            acceptors_.push_back(std::move(a));
        } catch (const std::exception& e) {
            errors += std::string(errors.empty() ? "" : "; ") + address + ": " + e.what();
        }
    }
    if (acceptors_.empty()) throw std::runtime_error("cannot listen: " + errors);
    if (!errors.empty()) std::cerr << "folioray-service: " << errors << std::endl;
    policy_.port = port;
    for (auto& a : acceptors_) Accept(*a);
    return port;
}

void WebServer::Accept(tcp::acceptor& acceptor) {
    acceptor.async_accept([this, &acceptor](beast::error_code ec, tcp::socket socket) {
        if (ec == boost::asio::error::operation_aborted || stopping_) return;
        if (!ec) std::make_shared<Connection>(*this, std::move(socket))->Read();
        Accept(acceptor);
    });
}

void WebServer::Stop(std::function<void()> done) {
    stopping_ = true;
    stopped_ = std::move(done);
    for (auto& a : acceptors_) {
        beast::error_code ignored;
        a->close(ignored);
    }
    pending_.clear();
    if (sessions_.empty()) {
        if (stopped_) stopped_();
        return;
    }
    for (auto& [token, session] : sessions_) session->Close();
}

std::string WebServer::NewToken(const std::string& origin) {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(pending_, [now](const auto& p) { return p.second.expires <= now; });
    if (stopping_ || pending_.size() >= kMaxPending) return {};
    std::string token = RandomToken();
    pending_[token] = Pending{origin, now + kTokenLifetime};
    return token;
}

bool WebServer::TakeToken(const std::string& token, const std::string& origin) {
    const auto it = pending_.find(token);
    if (it == pending_.end()) return false;
    const bool ok = it->second.origin == origin &&
                    it->second.expires > std::chrono::steady_clock::now() &&
                    sessions_.size() < kMaxSessions && !stopping_;
    pending_.erase(it);
    return ok;
}

void WebServer::AddSession(const std::shared_ptr<WebSession>& session) {
    if (stopping_) return;
    sessions_[session->Token()] = session;
    session->Start([this, token = session->Token()] { Ended(token); });
}

std::shared_ptr<WebSession> WebServer::FindSession(const std::string& token) const {
    const auto it = sessions_.find(token);
    return it == sessions_.end() ? nullptr : it->second;
}

void WebServer::Ended(const std::string& token) {
    sessions_.erase(token);
    if (stopping_ && sessions_.empty() && stopped_) stopped_();
}

}  // namespace folioray::web
