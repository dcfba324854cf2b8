// Server replies taken apart without a network: a reply ends where the server ended it,
// however the bytes arrive, and each finding of the fuzz target stays fixed here.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "platform/curl/FtpReplies.h"

namespace folioray {
namespace {

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
