#include "platform/web/RequestCheck.h"

#include <algorithm>
#include <filesystem>

namespace folioray::web {

namespace {

bool IsIconName(const std::string& s) {
    return !s.empty() && s.size() <= 32 && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

// The value of `key` in a query string; nothing when absent.
std::optional<std::string> QueryValue(const std::string& query, const std::string& key) {
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t end = query.find('&', pos);
        if (end == std::string::npos) end = query.size();
        const std::string pair = query.substr(pos, end - pos);
        if (pair.rfind(key + "=", 0) == 0) return pair.substr(key.size() + 1);
        pos = end + 1;
    }
    return std::nullopt;
}

Verdict Refuse(int status) {
    return Verdict{status, Route::Refused, {}, {}};
}

}  // namespace

bool IsToken(const std::string& s) {
    return s.size() == 32 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool OriginAllowed(const std::string& origin, const Policy& policy) {
    const std::string port = std::to_string(policy.port);
    for (const char* own : {"http://127.0.0.1:", "http://localhost:", "http://[::1]:"}) {
        if (origin == own + port) return true;
    }
    return std::find(policy.allowedOrigins.begin(), policy.allowedOrigins.end(), origin) !=
           policy.allowedOrigins.end();
}

Verdict CheckRequest(const RequestFacts& r, const Policy& policy) {
    // A page on another name that resolves here (DNS rebinding) names that name.
    const std::string port = std::to_string(policy.port);
    if (r.host != "127.0.0.1:" + port && r.host != "localhost:" + port &&
        r.host != "[::1]:" + port) {
        return Refuse(421);
    }
    if (r.origin && !OriginAllowed(*r.origin, policy)) return Refuse(403);

    const size_t q = r.target.find('?');
    const std::string path = r.target.substr(0, q);
    const std::string query = q == std::string::npos ? "" : r.target.substr(q + 1);

    Verdict v;
    bool needsOrigin = false;
    std::string method = "GET";
    if (path == "/folioray.js" || path == "/demo") {
        v.route = Route::StaticFile;
        v.file = path == "/demo" ? "demo.html" : "folioray.js";
    } else if (path.rfind("/icons/", 0) == 0 && path.size() > 11 &&
               path.compare(path.size() - 4, 4, ".png") == 0 &&
               IsIconName(path.substr(7, path.size() - 11))) {
        v.route = Route::StaticFile;
        v.file = path.substr(1);
    } else if (path == "/session") {
        v.route = Route::NewSession;
        method = "POST";
        needsOrigin = true;
    } else if (path == "/ws") {
        v.route = Route::Socket;
        needsOrigin = true;
    } else if (path.rfind("/session/", 0) == 0 && path.size() == 9 + 32 + 8 &&
               path.compare(41, 8, "/preview") == 0) {
        v.route = Route::Preview;
        v.token = path.substr(9, 32);
        if (!IsToken(v.token)) return Refuse(404);
    } else {
        return Refuse(404);
    }

    if (r.method == "OPTIONS") {
        if (!r.origin) return Refuse(403);
        v.route = Route::Preflight;
        return v;
    }
    if (r.method != method) return Refuse(405);
    if (needsOrigin && !r.origin) return Refuse(403);
    if (v.route == Route::Socket) {
        if (!r.upgrade) return Refuse(426);
        v.token = QueryValue(query, "token").value_or("");
        if (!IsToken(v.token)) return Refuse(401);
    }
    return v;
}

bool InsideRoot(const std::string& root, const std::string& path) {
    namespace fs = std::filesystem;
    if (root.empty()) return true;
    if (!fs::path(path).is_absolute()) return false;
    std::error_code ec;
    const fs::path r = fs::weakly_canonical(root, ec);
    if (ec) return false;
    const fs::path p = fs::weakly_canonical(path, ec);
    if (ec) return false;
    const fs::path rel = p.lexically_relative(r);
    return !rel.empty() && *rel.begin() != "..";
}

}  // namespace folioray::web
