// folioray-service: the control for web pages, over a loopback WebSocket.
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/web/WebServer.h"

namespace fs = std::filesystem;
using folioray::web::ServerSettings;

namespace {

constexpr uint16_t kDefaultPort = 47365;

const char* const kUsage = R"(usage: folioray-service [OPTION]...
Runs the document-capture control for web pages: a page of an allowed origin loads
/folioray.js and places a <scan-control> element, which this service drives. Listens on
127.0.0.1 and [::1] only.

  --port N              the port (default 47365; 0 picks a free one)
  --config FILE         the config file (default $XDG_CONFIG_HOME/folioray/service.conf,
                        else ~/.config/folioray/service.conf; a missing file is fine)
  --allow-origin ORIGIN a page origin that may use the service, e.g.
                        https://intranet.example (repeatable; the service's own
                        http://127.0.0.1:PORT, http://localhost:PORT and http://[::1]:PORT,
                        where the demo page lives, are always allowed)
  --root DIR            keep the working folder and the files the pages name inside DIR
  --device NAME         the SANE scanner device (default: the first one listed)
  --source NAME         the device the Source button chooses
  --data-dir DIR        where folioray.js, demo.html and icons/ are served from
  --help                print this and exit

The config file takes the same settings as "key = value" lines (port, allow-origin,
root, device, source, data-dir); "#" starts a comment. Options given on the command
line override it; allow-origin lines and options add up.
Once it listens it prints "folioray-service listening on http://127.0.0.1:PORT".
)";

struct Options {
    long port = kDefaultPort;
    ServerSettings server;
};

[[noreturn]] void Fail(const std::string& why) {
    std::cerr << "folioray-service: " << why << "\n";
    std::exit(2);
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

void Apply(Options& o, const std::string& key, const std::string& value) {
    if (key == "port") {
        char* end = nullptr;
        o.port = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || o.port < 0 || o.port > 65535) Fail("bad port: " + value);
    } else if (key == "allow-origin") {
        std::string origin = value;
        while (!origin.empty() && origin.back() == '/') origin.pop_back();
        if (origin.find("://") == std::string::npos) Fail("bad origin: " + value);
        o.server.allowedOrigins.push_back(origin);
    } else if (key == "root") {
        std::error_code ec;
        if (!fs::is_directory(value, ec)) Fail("root is not a folder: " + value);
        o.server.session.root = fs::canonical(value).string();
    } else if (key == "device") {
        o.server.session.device = value;
    } else if (key == "source") {
        o.server.session.source = value;
    } else if (key == "data-dir") {
        o.server.dataDir = value;
    } else {
        Fail("unknown setting: " + key);
    }
}

void ReadConfig(Options& o, const std::string& path, bool mustExist) {
    std::ifstream in(path);
    if (!in) {
        // Said, not fatal: the service runs on its defaults as with no config file.
        if (mustExist) std::cerr << "folioray-service: no config file " << path << "\n";
        return;
    }
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            Fail(path + ":" + std::to_string(n) + ": expected key = value");
        Apply(o, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
}

std::string DefaultConfig() {
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
        return std::string(x) + "/folioray/service.conf";
    }
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/folioray/service.conf";
}

// Installed, the pages' files sit in share/ beside bin/; run from the build tree, in its www/.
std::string DefaultDataDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path installed = exe.parent_path().parent_path() / "share/folioray2/web";
        if (fs::exists(installed / "folioray.js", ec)) return installed.string();
    }
    return FOLIORAY_BUILD_WEB_DIR;
}

}  // namespace

int main(int argc, char** argv) {
    // The config file comes first, so that the command line overrides it.
    std::string config;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--config") {
            if (i + 1 >= argc) Fail("--config needs a file");
            config = argv[++i];
        }
    }
    Options o;
    ReadConfig(o, config.empty() ? DefaultConfig() : config, !config.empty());
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--config") {
            ++i;
            continue;
        }
        if (a.rfind("--", 0) != 0 || i + 1 >= argc) Fail("unknown option or missing value: " + a);
        Apply(o, a.substr(2), argv[++i]);
    }
    if (o.server.dataDir.empty()) o.server.dataDir = DefaultDataDir();

    boost::asio::io_context io;
    folioray::web::WebServer server(io, o.server);
    uint16_t port = 0;
    try {
        port = server.Listen(static_cast<uint16_t>(o.port));
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    std::cout << "folioray-service listening on http://127.0.0.1:" << port << std::endl;

    // On a stop the pages' sessions end first, so that devices and transfers are released.
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    boost::asio::steady_timer deadline(io);
    signals.async_wait([&](const boost::system::error_code& ec, int) {
        if (ec) return;
        server.Stop([&io] { io.stop(); });
        deadline.expires_after(std::chrono::seconds(15));
        deadline.async_wait([&io](const boost::system::error_code& e) {
            if (!e) io.stop();
        });
    });
    io.run();
    // A session still busy past the deadline is not waited for.
    std::cout.flush();
    _exit(0);
}
