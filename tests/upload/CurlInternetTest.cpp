// The curl adapter of the Internet port: server names, and texts that would smuggle in a
// second command.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

#include "platform/curl/CurlInternet.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray {
namespace {

struct SplitCase {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
    Transport transport = Transport::Ftp;
    friend void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.text; }
};

class ParseServerTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ParseServerTest, TakesTransportHostAndPort) {
    const SplitCase& c = GetParam();
    Endpoint e;
    EXPECT_EQ(ParseServer(c.text, 0, e), c.ok) << c.text;
    if (c.ok) {
        EXPECT_EQ(e.host, c.host);
        EXPECT_EQ(e.port, c.port);
        EXPECT_EQ(e.transport, c.transport);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseServerTest,
    ::testing::Values(SplitCase{"ftp.example.org", true, "ftp.example.org", 21},
                      SplitCase{"[::1]:990", true, "[::1]", 990},
                      SplitCase{"[fe80::1%eth0]", true, "[fe80::1%25eth0]", 21},
                      SplitCase{"host:65535", true, "host", 65535},
                      SplitCase{"host:65536", false, "", 0}, SplitCase{"host:0", false, "", 0},
                      SplitCase{"[::1", false, "", 0}, SplitCase{"ho st", false, "", 0},
                      SplitCase{"user@host", false, "", 0},
                      SplitCase{"ftp://host:2121", true, "host", 2121},
                      SplitCase{"FTPS://host", true, "host", 21, Transport::FtpsExplicit},
                      SplitCase{"ftps-implicit://host", true, "host", 990, Transport::FtpsImplicit},
                      SplitCase{"sftp://[::1]:2222/", true, "[::1]", 2222, Transport::Sftp},
                      SplitCase{"sftp://", false, "", 0}, SplitCase{"http://host", false, "", 0}),
    [](const auto& p) {
        std::string name;
        for (char c : std::string(p.param.text))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

class CurlInternetFaultTest : public ::testing::Test {
  protected:
    CurlInternet net{CurlInternet::Timeouts{1000, 1000, 1500}};
    HINTERNET session = net.InternetOpenA("test agent", 0, nullptr, nullptr, 0);
};

TEST_F(CurlInternetFaultTest, LineBreaksAreRefusedBeforeAnythingIsSent) {
    test::SilentListener listener;
    const std::string at = listener.address();
    struct Case {
        std::string server, user, password;
    };
    for (const Case& c :
         {Case{at + "\r\nDELE x", "u", "p"}, Case{at, "u\r\nDELE x", "p"}, Case{at, "u", "p\nQUIT"},
          Case{at, "u", std::string("p\0x", 3)}, Case{at, "u\r", "p"},
          Case{"sftp://" + at, "u", "p\nx"}, Case{"ftps://" + at, "u\r\nx", "p"}}) {
        EXPECT_EQ(
            net.InternetConnectA(session, c.server, 0, c.user, c.password, inet::kServiceFtp, 0, 0),
            0);
        EXPECT_EQ(net.GetLastError(), inet::kErrorInvalidParameter);
    }
    EXPECT_FALSE(listener.SomeoneConnected());
}

}  // namespace
}  // namespace folioray
