#pragma once
// Which requests the service answers, decided from the request line and headers alone,
// before anything is read or started.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace folioray::web {

inline constexpr size_t kMaxHeaderBytes = 8 * 1024;
inline constexpr size_t kMaxBodyBytes = 4 * 1024;
inline constexpr size_t kMaxMessageBytes = 1024 * 1024;

struct Policy {
    uint16_t port = 0;
    std::vector<std::string> allowedOrigins;  // besides the service's own
};

struct RequestFacts {
    std::string method;  // "GET", "POST", "OPTIONS"...
    std::string target;  // path and query
    std::string host;
    std::optional<std::string> origin;
    bool upgrade = false;  // a WebSocket upgrade
};

enum class Route { Refused, Preflight, StaticFile, NewSession, Socket, Preview };

struct Verdict {
    int status = 200;  // the refusal's status when route is Refused
    Route route = Route::Refused;
    std::string file;   // StaticFile: relative to the data folder
    std::string token;  // Socket, Preview
};

bool IsToken(const std::string& s);
bool OriginAllowed(const std::string& origin, const Policy& policy);
Verdict CheckRequest(const RequestFacts& request, const Policy& policy);
// True when `root` is "" or the absolute `path` names something inside it, after "..",
// "." and symbolic links are resolved.
bool InsideRoot(const std::string& root, const std::string& path);

}  // namespace folioray::web
