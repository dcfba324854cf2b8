// The curl adapter of the Internet port against a real FTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

#include <filesystem>

#include "platform/curl/CurlInternet.h"
#include "tests/support/FtpServer.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray {
namespace {

using test::FtpServer;

struct SplitCase {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
    Transport transport = Transport::Ftp;
};
void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

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

TEST(CurlInternetStallTest, AServerThatStopsReadingTimesOut) {
    FtpServer::Options o;
    o.stallAfter = 64 * 1024;
    FtpServer server(o);
    CurlInternet net(CurlInternet::Timeouts{5000, 5000, 1500});
    HINTERNET s = net.InternetOpenA("t", 0, nullptr, nullptr, 0);
    HINTERNET c = net.InternetConnectA(s, server.address(), 0, server.user(), server.password(),
                                       inet::kServiceFtp, inet::kFlagPassive, 0);
    ASSERT_NE(c, 0);
    HINTERNET f = net.FtpOpenFileA(c, "stall.bin", inet::kGenericWrite, 2, 0);
    ASSERT_NE(f, 0);
    // More than any socket buffers on the way can hold.
    const std::string block(64 * 1024, 'x');
    bool failed = false;
    for (int i = 0; i < 1024 && !failed; ++i) {
        uint32_t w = 0;
        failed = !net.InternetWriteFile(f, block.data(), static_cast<uint32_t>(block.size()), &w);
    }
    if (!failed) failed = !net.InternetCloseHandle(f);
    EXPECT_TRUE(failed);
    EXPECT_EQ(net.GetLastError(), inet::kErrorTimeout);
}

// ---- Failures that need no FTP server.

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
