// The curl adapter of the Internet port against a real FTP server on 127.0.0.1.
#include <gtest/gtest.h>

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
};
void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class SplitServerPortTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitServerPortTest, SplitsHostAndPort) {
    const SplitCase& c = GetParam();
    std::string host;
    uint16_t port = 21;
    EXPECT_EQ(SplitServerPort(c.text, host, port), c.ok) << c.text;
    if (c.ok) {
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SplitServerPortTest,
    ::testing::Values(SplitCase{"ftp.example.org", true, "ftp.example.org", 21},
                      SplitCase{"[::1]:990", true, "[::1]", 990},
                      SplitCase{"[fe80::1%eth0]", true, "[fe80::1%25eth0]", 21},
                      SplitCase{"host:65535", true, "host", 65535},
                      SplitCase{"host:65536", false, "", 0}, SplitCase{"host:0", false, "", 0},
                      SplitCase{"[::1", false, "", 0}, SplitCase{"ho st", false, "", 0},
                      SplitCase{"user@host", false, "", 0}),
    [](const auto& p) { return std::to_string(p.index); });

class CurlInternetTest : public ::testing::Test {
  protected:
    FtpServer server;
    CurlInternet net;
    HINTERNET session = net.InternetOpenA("test agent", 0, nullptr, nullptr, 0);

    HINTERNET Connect(bool passive = true) {
        return net.InternetConnectA(session, server.address(), 0, server.user(), server.password(),
                                    inet::kServiceFtp, passive ? inet::kFlagPassive : 0, 0);
    }
    std::string Response() {
        std::string r;
        uint32_t e = 0;
        net.InternetGetLastResponseInfoA(&e, r, inet::kResponseBufferSize);
        return r;
    }
    // Writes `data` through an open remote file in pieces of `piece` bytes.
    bool Store(HINTERNET c, const std::string& name, const std::string& data, size_t piece) {
        HINTERNET f = net.FtpOpenFileA(c, name, inet::kGenericWrite, inet::kTransferTypeBinary, 0);
        if (!f) return false;
        for (size_t i = 0; i < data.size(); i += piece) {
            uint32_t n = static_cast<uint32_t>(std::min(piece, data.size() - i));
            uint32_t written = 0;
            if (!net.InternetWriteFile(f, data.data() + i, n, &written)) return false;
            EXPECT_EQ(written, n);
        }
        return net.InternetCloseHandle(f);
    }
};

TEST_F(CurlInternetTest, StreamsWritesIntoOneStoreInBothModes) {
    const std::string data = test::PatternBytes(300000);
    for (bool passive : {true, false}) {
        HINTERNET c = Connect(passive);
        ASSERT_NE(c, 0) << net.GetLastError();
        const std::string name = passive ? "passive.bin" : "active.bin";
        ASSERT_TRUE(Store(c, name, data, 255)) << net.GetLastError() << " " << Response();
        EXPECT_EQ(test::ReadFile(server.file(name)), data) << name;
        EXPECT_TRUE(net.InternetCloseHandle(c));
    }
}

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
          Case{at, "u", std::string("p\0x", 3)}, Case{at, "u\r", "p"}}) {
        EXPECT_EQ(
            net.InternetConnectA(session, c.server, 0, c.user, c.password, inet::kServiceFtp, 0, 0),
            0);
        EXPECT_EQ(net.GetLastError(), inet::kErrorInvalidParameter);
    }
    EXPECT_FALSE(listener.SomeoneConnected());
}

}  // namespace
}  // namespace folioray
