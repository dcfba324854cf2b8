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
                      SplitCase{"127.0.0.1:2121", true, "127.0.0.1", 2121},
                      SplitCase{"[::1]:990", true, "[::1]", 990},
                      SplitCase{"[fe80::1%eth0]", true, "[fe80::1%25eth0]", 21},
                      SplitCase{"::1", true, "[::1]", 21},
                      SplitCase{"host:65535", true, "host", 65535}, SplitCase{"", false, "", 0},
                      SplitCase{":21", false, "", 0}, SplitCase{"host:", false, "", 0},
                      SplitCase{"host:0", false, "", 0}, SplitCase{"host:65536", false, "", 0},
                      SplitCase{"host:2x", false, "", 0}, SplitCase{"[::1", false, "", 0},
                      SplitCase{"[]:21", false, "", 0}, SplitCase{"[::1]x", false, "", 0},
                      SplitCase{"ho st", false, "", 0}, SplitCase{"a/b", false, "", 0},
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

TEST_F(CurlInternetTest, PortGivenAsArgumentWhenServerNamesNone) {
    HINTERNET c = net.InternetConnectA(session, "127.0.0.1", server.port(), server.user(),
                                       server.password(), inet::kServiceFtp, 0, 0);
    ASSERT_NE(c, 0) << net.GetLastError();
    EXPECT_TRUE(Store(c, "x.txt", "abc", 255));
    EXPECT_EQ(test::ReadFile(server.file("x.txt")), "abc");
}

TEST_F(CurlInternetTest, RejectedLoginGivesTheServerReply) {
    HINTERNET c = net.InternetConnectA(session, server.address(), 0, server.user(), "wrong",
                                       inet::kServiceFtp, 0, 0);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorExtendedError);
    EXPECT_EQ(Response().substr(0, 4), "530 ");
}

TEST_F(CurlInternetTest, DirectoriesAreRelativeToTheCurrentOne) {
    std::filesystem::create_directories(server.file("a/b"));
    HINTERNET c = Connect();
    ASSERT_NE(c, 0);
    ASSERT_TRUE(net.FtpSetCurrentDirectoryA(c, "a"));
    ASSERT_TRUE(net.FtpSetCurrentDirectoryA(c, "b"));
    ASSERT_TRUE(Store(c, "in-b.txt", "b", 255));
    EXPECT_EQ(test::ReadFile(server.file("a/b/in-b.txt")), "b");

    // A failed change leaves the current directory as it was.
    EXPECT_FALSE(net.FtpSetCurrentDirectoryA(c, "missing"));
    EXPECT_EQ(net.GetLastError(), inet::kErrorExtendedError);
    EXPECT_EQ(Response().substr(0, 4), "550 ");
    ASSERT_TRUE(Store(c, "still-b.txt", "b2", 255));
    EXPECT_TRUE(test::Exists(server.file("a/b/still-b.txt")));

    ASSERT_TRUE(net.FtpSetCurrentDirectoryA(c, "/a"));
    ASSERT_TRUE(Store(c, "in-a.txt", "a", 255));
    EXPECT_TRUE(test::Exists(server.file("a/in-a.txt")));
    ASSERT_TRUE(net.FtpSetCurrentDirectoryA(c, ".."));
    ASSERT_TRUE(Store(c, "top.txt", "t", 255));
    EXPECT_TRUE(test::Exists(server.file("top.txt")));
}

TEST_F(CurlInternetTest, NamesWithUrlCharactersReachTheServerUnchanged) {
    std::filesystem::create_directories(server.file("d #1"));
    HINTERNET c = Connect();
    ASSERT_NE(c, 0);
    ASSERT_TRUE(net.FtpSetCurrentDirectoryA(c, "d #1"));
    ASSERT_TRUE(Store(c, "50% ;type=a?.txt", "x", 255));
    EXPECT_EQ(test::ReadFile(server.file("d #1/50% ;type=a?.txt")), "x");
}

TEST_F(CurlInternetTest, StoringOverADirectoryFailsWithTheServerReply) {
    std::filesystem::create_directories(server.file("adir"));
    HINTERNET c = Connect();
    ASSERT_NE(c, 0);
    EXPECT_EQ(net.FtpOpenFileA(c, "adir", inet::kGenericWrite, inet::kTransferTypeBinary, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorExtendedError);
    EXPECT_EQ(Response().substr(0, 1), "5");
    // The connection stays usable.
    EXPECT_TRUE(Store(c, "after.txt", "ok", 255));
}

TEST_F(CurlInternetTest, OneOpenFilePerConnection) {
    HINTERNET c = Connect();
    ASSERT_NE(c, 0);
    HINTERNET f = net.FtpOpenFileA(c, "one.txt", inet::kGenericWrite, 2, 0);
    ASSERT_NE(f, 0);
    EXPECT_EQ(net.FtpOpenFileA(c, "two.txt", inet::kGenericWrite, 2, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorFtpTransferInProgress);
    EXPECT_FALSE(net.FtpSetCurrentDirectoryA(c, "x"));
    EXPECT_TRUE(net.InternetCloseHandle(f));
}

TEST_F(CurlInternetTest, ClosingTheSessionClosesWhatIsUnderIt) {
    HINTERNET c = Connect();
    ASSERT_NE(c, 0);
    HINTERNET f = net.FtpOpenFileA(c, "left-open.txt", inet::kGenericWrite, 2, 0);
    ASSERT_NE(f, 0);
    EXPECT_TRUE(net.InternetCloseHandle(session));
    EXPECT_FALSE(net.InternetCloseHandle(c));
    EXPECT_EQ(net.GetLastError(), inet::kErrorInvalidHandle);
    uint32_t w = 0;
    EXPECT_FALSE(net.InternetWriteFile(f, "x", 1, &w));
    EXPECT_EQ(net.GetLastError(), inet::kErrorInvalidHandle);
}

TEST_F(CurlInternetTest, FindsAFileAndItsSize) {
    test::WriteFile(server.file("sized.bin"), std::string(70000, 'z'));
    HINTERNET c = Connect();
    ASSERT_NE(c, 0);
    FtpFindData d;
    HINTERNET h = net.FtpFindFirstFileA(c, "sized.bin", &d, 0, 0);
    ASSERT_NE(h, 0) << net.GetLastError();
    EXPECT_EQ(d.nFileSizeLow, 70000u);
    EXPECT_EQ(d.cFileName, "sized.bin");
    EXPECT_TRUE(net.InternetCloseHandle(h));
    EXPECT_EQ(net.FtpFindFirstFileA(c, "nothing-here.bin", &d, 0, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorNoMoreFiles);
}

TEST_F(CurlInternetTest, PutFileCopiesALocalFile) {
    test::TempDir local;
    const std::string data = test::PatternBytes(100000);
    test::WriteFile(local / "l.bin", data);
    HINTERNET c = Connect(false);
    ASSERT_NE(c, 0);
    ASSERT_TRUE(net.FtpPutFileA(c, local / "l.bin", "r.bin", inet::kTransferTypeBinary, 0));
    EXPECT_EQ(test::ReadFile(server.file("r.bin")), data);
    EXPECT_FALSE(net.FtpPutFileA(c, local / "missing", "r2.bin", 2, 0));
    EXPECT_EQ(net.GetLastError(), inet::kErrorFileNotFound);
}

TEST_F(CurlInternetTest, ThePasswordNeverAppearsInAResponse) {
    FtpServer::Options o;
    o.echoPassword = true;
    FtpServer echo(o);
    const std::string tried = "Tried-Pass-123";
    HINTERNET c = net.InternetConnectA(session, echo.address(), 0, echo.user(), tried,
                                       inet::kServiceFtp, 0, 0);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorExtendedError);
    const std::string r = Response();
    EXPECT_EQ(r.substr(0, 4), "530 ");
    EXPECT_NE(r.find("password ********"), std::string::npos) << r;
    EXPECT_EQ(r.find(tried), std::string::npos) << r;
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

TEST_F(CurlInternetFaultTest, AServerThatNeverAnswersTimesOut) {
    test::SilentListener listener;
    EXPECT_EQ(
        net.InternetConnectA(session, listener.address(), 0, "u", "p", inet::kServiceFtp, 0, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorTimeout);
}

TEST_F(CurlInternetFaultTest, NothingListeningCannotConnect) {
    const std::string at = "127.0.0.1:" + std::to_string(test::ClosedPort());
    EXPECT_EQ(net.InternetConnectA(session, at, 0, "u", "p", inet::kServiceFtp, 0, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorCannotConnect);
}

TEST_F(CurlInternetFaultTest, MalformedServerOrWrongHandle) {
    EXPECT_EQ(net.InternetConnectA(session, "host:99999", 0, "u", "p", 1, 0, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorInvalidUrl);
    EXPECT_EQ(net.InternetConnectA(0, "127.0.0.1", 0, "u", "p", 1, 0, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorInvalidHandle);
    EXPECT_EQ(net.FtpOpenFileA(session, "x", inet::kGenericWrite, 2, 0), 0);
    EXPECT_EQ(net.GetLastError(), inet::kErrorIncorrectHandleType);
    EXPECT_FALSE(net.FtpSetCurrentDirectoryA(0, "x"));
    EXPECT_EQ(net.GetLastError(), inet::kErrorInvalidHandle);
}

TEST(InternetMessagesTest, TextsEndInALineBreakAndFitTheBuffer) {
    CurlInternet net;
    for (uint32_t code : {inet::kErrorTimeout, inet::kErrorCannotConnect,
                          inet::kErrorConnectionAborted, inet::kErrorInvalidParameter}) {
        std::string t = net.FormatMessage(code, inet::kMessageBufferSize);
        ASSERT_GT(t.size(), 2u) << code;
        EXPECT_EQ(t.substr(t.size() - 2), "\r\n") << code;
    }
    EXPECT_EQ(net.FormatMessage(99999, 256), "");
    EXPECT_EQ(net.FormatMessage(inet::kErrorTimeout, 6), "The o");
}

}  // namespace
}  // namespace folioray
