#include <gtest/gtest.h>

#include <filesystem>

#include "platform/web/RequestCheck.h"
#include "tests/support/TempDir.h"

namespace folioray::web {
namespace {

const std::string T = "0123456789abcdef0123456789abcdef";
const std::string Own = "http://127.0.0.1:4000";
const std::string Listed = "https://intranet.example";

struct Case {
    const char* what;
    std::string method, target, host;
    std::optional<std::string> origin;
    bool upgrade;
    std::string expect;  // the refusal's status, or the route and what it names
};

std::string Describe(const Verdict& v) {
    switch (v.route) {
        case Route::StaticFile:
            return "file " + v.file;
        case Route::NewSession:
            return "session";
        case Route::Socket:
            return "socket " + v.token;
        case Route::Preview:
            return "preview " + v.token;
        case Route::Preflight:
            return "preflight";
        case Route::Refused:
            break;
    }
    return std::to_string(v.status);
}

TEST(RequestCheck, RoutesOnlyWhatThePolicyAllows) {
    const Policy policy{4000, {Listed}};
    const std::string H = "127.0.0.1:4000";
    const std::optional<std::string> none;
    const Case cases[] = {
        {"demo", "GET", "/demo", H, none, false, "file demo.html"},
        {"localhost", "GET", "/folioray.js", "localhost:4000", none, false, "file folioray.js"},
        {"v6 loopback", "GET", "/demo", "[::1]:4000", Own, false, "file demo.html"},
        {"icon", "GET", "/icons/scan.png", H, none, false, "file icons/scan.png"},
        {"rebinding name", "GET", "/demo", "evil.example:4000", none, false, "421"},
        {"other port", "GET", "/demo", "127.0.0.1:4001", none, false, "421"},
        {"no port", "GET", "/demo", "127.0.0.1", none, false, "421"},
        {"foreign origin", "GET", "/demo", H, "https://evil.example", false, "403"},
        {"origin prefix", "POST", "/session", H, Listed + ".evil.com", false, "403"},
        {"opaque origin", "POST", "/session", H, "null", false, "403"},
        {"session", "POST", "/session", H, Listed, false, "session"},
        {"session no origin", "POST", "/session", H, none, false, "403"},
        {"session by GET", "GET", "/session", H, Own, false, "405"},
        {"socket", "GET", "/ws?token=" + T, H, Own, true, "socket " + T},
        {"socket no token", "GET", "/ws", H, Own, true, "401"},
        {"socket bad token", "GET", "/ws?token=" + T.substr(1) + "G", H, Own, true, "401"},
        {"socket no origin", "GET", "/ws?token=" + T, H, none, true, "403"},
        {"socket no upgrade", "GET", "/ws?token=" + T, H, Own, false, "426"},
        {"preview", "GET", "/session/" + T + "/preview?v=2", H, none, false, "preview " + T},
        {"preview bad token", "GET", "/session/" + std::string(32, '.') + "/preview", H, none,
         false, "404"},
        {"icon traversal", "GET", "/icons/../../etc/passwd.png", H, none, false, "404"},
        {"icon escaped slash", "GET", "/icons/a%2f..png", H, none, false, "404"},
        {"preflight", "OPTIONS", "/session", H, Listed, false, "preflight"},
        {"preflight no origin", "OPTIONS", "/session", H, none, false, "403"},
        {"unknown path", "GET", "/etc/passwd", H, none, false, "404"},
        {"wrong method", "DELETE", "/demo", H, none, false, "405"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Describe(CheckRequest({c.method, c.target, c.host, c.origin, c.upgrade}, policy)),
                  c.expect)
            << c.what;
    }
}

TEST(RequestCheck, KeepsNamesInsideTheRoot) {
    test::TempDir tmp;
    const std::string root = tmp / "root";
    std::filesystem::create_directories(tmp / "root2");
    std::filesystem::create_directories(root);
    std::filesystem::create_directory_symlink(tmp.path(), root + "/out");
    const std::pair<std::string, bool> cases[] = {
        {root, true},
        {root + "/scanx.jpg", true},
        {root + "/new/scanx.jpg", true},
        {root + "/../root2/scanx.jpg", false},
        {tmp / "root2/scanx.jpg", false},  // a sibling whose name starts with the root's
        {root + "/out/root2/scanx.jpg", false},
        {"scanx.jpg", false},
        {"/etc/passwd", false},
    };
    for (const auto& [path, inside] : cases) EXPECT_EQ(InsideRoot(root, path), inside) << path;
    EXPECT_TRUE(InsideRoot("", "/etc/passwd"));
}

}  // namespace
}  // namespace folioray::web
