// Server replies and listing lines taken apart without a network: what a broken or
// hostile server sends ends as a bounded reply text, and each finding of the fuzz target
// stays fixed here.
#include <gtest/gtest.h>

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

TEST(FtpReplyReaderTest, BuffersStayBounded) {
    FtpReplyReader r;
    const std::string chunk(1000, 'x');
    for (int i = 0; i < 200; ++i) r.Feed(chunk.data(), chunk.size());
    EXPECT_LE(r.Buffered(), FtpReplyReader::kMaxLineBytes);
    EXPECT_TRUE(r.Overflowed());  // 200 kB and still no reply: a server talking without end

    FtpReplyReader lines;
    std::string many;
    for (int i = 0; i < 1900; ++i) many += "220-" + std::string(60, 'y') + "\r\n";
    many += "220 end\r\n";
    lines.Feed(many.data(), many.size());
    EXPECT_EQ(lines.LastCode(), 220);
    EXPECT_EQ(lines.LastReply().size(), FtpReplyReader::kMaxReplyBytes);
    EXPECT_FALSE(lines.Overflowed());  // 125 kB, but it did end
}

struct ListCase {
    const char* line;
    bool ok;
    const char* name;
    uint32_t size;
    uint32_t attributes;
};

class ListLineTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListLineTest, GivesNameSizeAndKind) {
    const ListCase& c = GetParam();
    FtpFindData d;
    ASSERT_EQ(ParseFtpListLine(c.line, d), c.ok);
    if (!c.ok) return;
    EXPECT_EQ(d.cFileName, c.name);
    EXPECT_EQ(d.nFileSizeLow, c.size);
    EXPECT_EQ(d.dwFileAttributes, c.attributes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ListLineTest,
    ::testing::Values(
        ListCase{"-rw-r--r--   1 owner group      1234 Jan 01 12:00 scanx.jpg", true, "scanx.jpg",
                 1234, 0x80},
        ListCase{"drwxr-xr-x   2 owner group      4096 Jan 01 12:00 my dir", true, "my dir", 4096,
                 0x10},
        // The size "1" also appears in the date: the name starts after the size field.
        ListCase{"01-01-20  10:00AM                 1 scanx 1.jpg", true, "scanx 1.jpg", 1, 0x80},
        ListCase{"01-01-20  10:00AM       <DIR>          folder", true, "folder", 0, 0x10},
        ListCase{"01-01-20  10:00AM  12", false, "", 0, 0}, ListCase{"total 8", false, "", 0, 0},
        ListCase{"", false, "", 0, 0}));

}  // namespace
}  // namespace folioray
