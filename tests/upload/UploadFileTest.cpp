// ScanControl::UploadFile and its progress display, on the headless host with the curl
// adapter and a real FTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>

#include "platform/curl/CurlInternet.h"
#include "runtime/Format.h"
#include "tests/support/FtpServer.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray {
namespace {

using test::FtpServer;

constexpr Child kLocked[] = {Child::Command1, Child::Command2, Child::Command4, Child::Command5};

// A control in text mode whose working file (scanx.txt) holds `content`.
struct Fixture {
    test::TempDir work;
    CurlInternet net{CurlInternet::Timeouts{10000, 10000, 15000}};
    test::HeadlessControl hc{false};
    std::vector<std::string> changes;  // children changed during the call under test

    explicit Fixture(const std::string& content = "hello, server") {
        hc.ports.internet = &net;
        hc.Create();
        hc->FilePath(work.path());
        hc->ControlMode(1);
        hc->SetEditorText("x");
        hc->StartScan();
        test::WriteFile(hc->CurrentName(), content);
        hc.host.pointerHistory.clear();
        hc.host.onChildChanged = [this](const std::string& n) { changes.push_back(n); };
    }
    ScanControl& c() { return *hc; }
};

// ---- The checks, in order. None of them touches the screen.

TEST(UploadChecksTest, NothingAcquiredComesFirst) {
    test::HeadlessControl hc;
    EXPECT_EQ(hc->UploadFile(Variant::Null(), Variant::Null(), Variant::Null(), Variant("x"),
                             Variant::Array(), Variant::Object()),
              "No data has been acquired. As a result, there is nothing to upload.");
}

struct CheckCase {
    const char* name;
    Variant server, user, password, mode, remote, dir;
    const char* result;
    friend void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }
};
class UploadChecksTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(UploadChecksTest, FirstFailingCheckGivesItsText) {
    const CheckCase& c = GetParam();
    Fixture f;
    EXPECT_EQ(f.c().UploadFile(c.server, c.user, c.password, c.mode, c.remote, c.dir), c.result);
    EXPECT_TRUE(f.changes.empty());
    EXPECT_TRUE(f.hc.host.pointerHistory.empty());
}

const Variant M = Variant::Missing();

INSTANTIATE_TEST_SUITE_P(
    Checks, UploadChecksTest,
    ::testing::Values(
        CheckCase{"NullServer", Variant::Null(), "u", "p", M, M, M,
                  "Invalid FTP Server specified (Invalid use of Null)"},
        CheckCase{"SpacesServer", "   ", Variant::Null(), "p", M, M, M,
                  "No FTP Server specified (zero length string)"},
        CheckCase{"EmptyUser", "h", Variant(), "", M, M, M,
                  "No FTP Username specified (zero length string)"},
        CheckCase{"SpacesPassword", "h", "u", "  ", "bad", M, M,
                  "No FTP Password specified (zero length string)"},
        CheckCase{"TextMode", "h", "u", "p", "passive", M, M,
                  "Invalid FTP Mode specified (Type mismatch)"},
        CheckCase{"NullDir", "h", "u", "p", int32_t{1}, "r.txt", Variant::Null(),
                  "Invalid Remote Directory specified (Invalid use of Null)"},
        // Line breaks or NUL would let a text carry a second FTP command.
        CheckCase{"BreakInServer", "h\r\nDELE x", "u", "p", M, M, M,
                  "Invalid FTP Server specified (line breaks and NUL characters are not "
                  "allowed)"},
        CheckCase{"BreakInDir", "h", "u", "p", M, M, "d\rRMD x",
                  "Invalid Remote Directory specified (line breaks and NUL characters are not "
                  "allowed)"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- Against the server.

class UploadFileTest : public ::testing::Test {
  protected:
    FtpServer server;
};

// Whichever way the mode is given, the file goes up whole under the working file's name;
// meanwhile the commands and the preview are locked and the progress shows, afterwards all
// is as before.
TEST_F(UploadFileTest, UploadsInEitherModeLockedMeanwhileWithProgress) {
    const std::string data = test::PatternBytes(70000);  // more than one send buffer
    Fixture f(data);
    f.c().Resize(6000, 3000);
    size_t events = 0;
    f.c().UploadProgress = [&](int32_t, int32_t) {
        ++events;
        for (Child k : kLocked) EXPECT_FALSE(f.hc[k].enabled);
        EXPECT_TRUE(f.hc[Child::Command6].enabled);
        EXPECT_FALSE(f.hc.preview.enabled);
    };
    for (Variant mode : {Variant(), Variant(int16_t{0}), Variant("1"), Variant(2.5)}) {
        std::filesystem::remove(server.file("scanx.txt"));
        events = 0;
        f.hc.host.pointerHistory.clear();
        EXPECT_EQ(f.c().UploadFile(server.address(), " " + server.user() + " ",
                                   server.password() + "  ", mode),
                  "");
        EXPECT_TRUE(test::ReadFile(server.file("scanx.txt")) == data);
        EXPECT_EQ(events, test::ExpectedEvents(70000).size());
        // The last event changes only the range: the bar and the percentage stay.
        EXPECT_EQ(f.hc[Child::PB].max, 70000.0f);
        EXPECT_EQ(f.hc[Child::PB].value, 69870.0f);
        EXPECT_EQ(f.hc[Child::Text1].caption, "100%");
        EXPECT_FALSE(f.hc[Child::PB].visible);
        EXPECT_FALSE(f.hc[Child::Text1].visible);
        for (Child k : kLocked) EXPECT_TRUE(f.hc[k].enabled);
        EXPECT_TRUE(f.hc.preview.enabled);
        EXPECT_EQ(f.hc.host.pointerHistory,
                  (std::vector<MousePointer>{MousePointer::Hourglass, MousePointer::Default}));
    }
    EXPECT_GE(f.hc.host.refreshes["PB"], 1);
}

// A second upload, a text store or a paste started from a message pumped during the
// transfer is refused; the file on the server and the working file stay as they were.
TEST_F(UploadFileTest, CommandsStartedDuringTheTransferAreRefused) {
    const std::string data = test::PatternBytes(3000);
    Fixture f(data);
    f.c().SetEditorText("replacement");
    int beeps = -1;
    std::string inner = "not called";
    f.c().UploadProgress = [&](int32_t, int32_t) {
        if (beeps >= 0) return;
        beeps = f.hc.host.beeps;
        inner = f.c().UploadFile(server.address(), server.user(), server.password());
        f.c().StartScan();             // the text store behind Done
        f.c().MenuPasteImage_Click();  // a paste from the preview's menu
    };
    EXPECT_EQ(f.c().UploadFile(server.address(), server.user(), server.password()), "");
    EXPECT_EQ(inner, "An upload is already in progress.");
    EXPECT_EQ(f.hc.host.beeps, beeps + 2);
    EXPECT_TRUE(test::ReadFile(server.file("scanx.txt")) == data);
    EXPECT_TRUE(test::ReadFile(f.c().CurrentName()) == data);
    f.c().UploadProgress = nullptr;
    EXPECT_EQ(f.c().UploadFile(server.address(), server.user(), server.password()), "");
}

// ---- The progress handler on its own.

struct ProgressCase {
    int32_t current, total;
    const char* separator;
    float max, value;
    const char* tip;
    const char* percent;
    friend void PrintTo(const ProgressCase& c, std::ostream* os) {
        *os << c.current << " of " << c.total;
    }
};
class ProgressDisplayTest : public ::testing::TestWithParam<ProgressCase> {
  protected:
    void TearDown() override { SetGroupSeparatorOverride(nullptr); }
};

TEST_P(ProgressDisplayTest, ShowsKilobytesAndPercent) {
    const ProgressCase& c = GetParam();
    const std::string sep = c.separator;
    SetGroupSeparatorOverride(&sep);
    test::HeadlessControl hc;
    int32_t first = 7, firstTotal = 9;
    hc->mFTP_FileTransferProgress(first, firstTotal);
    int refreshes = hc.host.refreshes["Text1"];
    int32_t cur = c.current, total = c.total;
    hc->mFTP_FileTransferProgress(cur, total);
    EXPECT_EQ(cur, c.current);
    EXPECT_EQ(hc[Child::PB].max, c.max);
    EXPECT_EQ(hc[Child::PB].min, 0.0f);
    EXPECT_EQ(hc[Child::PB].value, c.value);
    EXPECT_EQ(hc[Child::PB].toolTipText, c.tip);
    EXPECT_EQ(hc[Child::Text1].caption, c.percent);
    EXPECT_EQ(hc.host.refreshes["Text1"], refreshes + (c.total > c.current ? 1 : 0));
}

// The first event (7 of 9) leaves value 7, "Uploaded 0 of 0 KB" and "78%" behind.
INSTANTIATE_TEST_SUITE_P(
    Events, ProgressDisplayTest,
    ::testing::Values(ProgressCase{512000, 1048576, ",", 1048576, 512000,
                                   "Uploaded 500 of 1,024 KB", "49%"},
                      ProgressCase{1536000000, 2147483647, " ", 2147483647.0f, 1536000000.0f,
                                   "Uploaded 1 500 000 of 2 097 152 KB", "72%"},
                      ProgressCase{1000, 1000, ",", 1000, 7, "Uploaded 0 of 0 KB", "78%"},
                      // Half a kilobyte goes to the even count: 2.5 KB shows 2, 3.5 KB shows 4.
                      ProgressCase{2560, 3584, ",", 3584, 2560, "Uploaded 2 of 4 KB", "71%"}),

    [](const auto& p) {
        return std::to_string(p.param.current) + "_of_" + std::to_string(p.param.total) + "_bytes";
    });

}  // namespace
}  // namespace folioray
