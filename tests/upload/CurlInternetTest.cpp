// The curl adapter of the Internet port: server names, and texts that would smuggle in a
// second command.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "platform/curl/CurlInternet.h"
#include "platform/curl/FtpReplies.h"
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

// ---- Server replies taken apart without a network: a reply ends where the server ended it,
// however the bytes arrive, and each finding of the fuzz target stays fixed here.

struct Fed {
    size_t replies = 0;
    int code = 0;
    std::string text;
};

// Feeds the bytes in pieces of `piece` bytes.
Fed Feed(const std::string& bytes, size_t piece, const std::string& secret = {}) {
    FtpReplyReader r;
    r.SetSecret(secret);
    Fed out;
    if (piece == 0) piece = bytes.size() + 1;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        out.replies += r.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    out.code = r.LastCode();
    out.text = r.LastReply();
    return out;
}

struct ReplyCase {
    const char* name;
    std::string bytes;
    size_t replies;
    int code;
    std::string text;
    friend void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }
};

class ReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyTest, EndsWhereTheServerEndedIt) {
    const ReplyCase& c = GetParam();
    for (size_t piece : {size_t{0}, size_t{1}, size_t{5}}) {
        const Fed f = Feed(c.bytes, piece);
        EXPECT_EQ(f.replies, c.replies) << "pieces of " << piece;
        EXPECT_EQ(f.code, c.code) << "pieces of " << piece;
        EXPECT_EQ(f.text, c.text) << "pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyTest,
    ::testing::Values(ReplyCase{"OneLine", "220 ready\r\n", 1, 220, "220 ready\r\n"},
                      ReplyCase{"MultiLine", "220-a\r\n220-b\r\n220 c\r\n", 1, 220,
                                "220-a\r\n220-b\r\n220 c\r\n"},
                      ReplyCase{"OtherCodesInside", "123-x\r\n456 not the end\r\n123 end\r\n", 1,
                                123, "123-x\r\n456 not the end\r\n123 end\r\n"},
                      ReplyCase{"TwoReplies", "331 pass?\r\n230 in\r\n", 2, 230, "230 in\r\n"},
                      // Formerly such a reply never ended, and every later reply was lost in it.
                      ReplyCase{"BeginsWithoutACode", "hello\r\nnot ftp\r\n530 no\r\n", 1, 530,
                                "hello\r\nnot ftp\r\n530 no\r\n"},
                      ReplyCase{"NeverEnds", "220-a\r\n220-b\r\n", 0, 0, ""},
                      ReplyCase{"NoLineEnd", "220 ready", 0, 0, ""}),
    [](const auto& tp) { return std::string(tp.param.name); });

// A line cut short may end in the first letters of the password: those go too.
TEST(FtpReplyReaderTest, APasswordCutAtTheEndOfAnOverLongLineIsMasked) {
    const std::string secret = "SECRETPASS";
    const std::string line =
        "550 " + std::string(FtpReplyReader::kMaxLineBytes - 10, 'B') + secret + " tail\r\n";
    const Fed f = Feed(line, 7, secret);
    ASSERT_EQ(f.replies, 1u);
    EXPECT_EQ(f.text.find("SECRET"), std::string::npos);
    EXPECT_EQ(f.text.substr(f.text.size() - 10), "********\r\n");
}

}  // namespace
}  // namespace folioray
