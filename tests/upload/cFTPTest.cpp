// cFTP against a real FTP server, and against the scripted port for faults a server
// cannot be made to show on cue.
#include <gtest/gtest.h>

#include <unistd.h>
#include <ostream>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/curl/CurlInternet.h"
#include "runtime/VbError.h"
#include "tests/support/FtpServer.h"
#include "tests/support/ScriptedInternet.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestUtil.h"
#include "upload/cFTP.h"

namespace folioray {
namespace {

using test::FtpServer;
using Events = std::vector<std::pair<int32_t, int32_t>>;

// Records the events and the pumps between blocks, in order.
struct Recorder {
    Events events;
    std::vector<std::string> order;
    void Attach(cFTP& ftp) {
        ftp.FileTransferProgress = [this](int32_t& cur, int32_t& total) {
            events.emplace_back(cur, total);
            order.push_back("event");
        };
        ftp.DoEvents = [this] { order.push_back("pump"); };
    }
};

struct SizeCase {
    int32_t size;
    bool passive;
};
void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.size << (c.passive ? " passive" : " active");
}

class cFTPUploadTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(cFTPUploadTest, SendsTheFileInBlocksWithOneEventEach) {
    const SizeCase& c = GetParam();
    FtpServer server;
    test::TempDir local;
    const std::string data = test::PatternBytes(static_cast<size_t>(c.size));
    test::WriteFile(local / "scanx.jpg", data);

    CurlInternet net;
    cFTP ftp(net);
    Recorder rec;
    rec.Attach(ftp);
    ftp.SetTransferBinary();
    if (c.passive) {
        ftp.SetModePassive();
    } else {
        ftp.SetModeActive();
    }
    ASSERT_TRUE(ftp.OpenConnection(server.address(), server.user(), server.password()))
        << ftp.GetLastErrorMessage();
    ASSERT_TRUE(ftp.FTPUploadFile(local / "scanx.jpg", "scanx.jpg")) << ftp.GetLastErrorMessage();
    ftp.CloseConnection();

    EXPECT_EQ(rec.events, test::ExpectedEvents(c.size));
    // The host is pumped before the first block's event (then at a window's pace).
    const auto first = std::find(rec.order.begin(), rec.order.end(), "event");
    EXPECT_TRUE(c.size < 255 || (first != rec.order.begin() && first[-1] == "pump"));
    EXPECT_TRUE(test::ReadFile(server.file("scanx.jpg")) == data) << "file differs";
    EXPECT_EQ(ftp.GetLastErrorMessage(), "");
}

INSTANTIATE_TEST_SUITE_P(Sizes, cFTPUploadTest,
                         ::testing::Values(SizeCase{254, false}, SizeCase{510, true}),
                         [](const auto& p) {
                             return std::to_string(p.param.size) +
                                    (p.param.passive ? "_passive" : "_active");
                         });

// ---- Scripted faults.

class cFTPScriptedTest : public ::testing::Test {
  protected:
    ScriptedInternet net;
    test::TempDir local;
};

struct WriteFailCase {
    const char* name;
    int32_t size;
    int failWriteAt;
    uint32_t closeError;
    const char* source;
    size_t eventsBefore;
};
void PrintTo(const WriteFailCase& c, std::ostream* os) {
    *os << c.name;
}

class cFTPWriteFailTest : public ::testing::TestWithParam<WriteFailCase> {};

TEST_P(cFTPWriteFailTest, FailureNamesTheWriteAndStopsTheEvents) {
    const WriteFailCase& c = GetParam();
    ScriptedInternet net;
    net.failWriteAt = c.failWriteAt;
    net.closeFileError = c.closeError;
    net.writeError = inet::kErrorConnectionAborted;
    test::TempDir local;
    test::WriteFile(local / "f.bin", test::PatternBytes(static_cast<size_t>(c.size)));
    cFTP ftp(net);
    Recorder rec;
    rec.Attach(ftp);
    ASSERT_TRUE(ftp.OpenConnection("h", "u", "p"));
    EXPECT_FALSE(ftp.FTPUploadFile(local / "f.bin", "f.bin"));
    EXPECT_EQ(ftp.GetLastErrorMessage(),
              std::string(c.source) +
                  " error code: 12030 Message: The connection with the server was aborted.\r\n");
    Events expected = test::ExpectedEvents(c.size);
    expected.resize(c.eventsBefore);
    EXPECT_EQ(rec.events, expected);
    EXPECT_EQ(net.open.size(), 2u) << "only the session and the connection stay open";
}

INSTANTIATE_TEST_SUITE_P(
    Writes, cFTPWriteFailTest,
    ::testing::Values(WriteFailCase{"FirstBlock", 1000, 1, 0, "InternetWriteFile", 0},
                      WriteFailCase{"LastPartialBlock", 1000, 4, 0, "InternetWriteFile2", 3},
                      WriteFailCase{"EmptyLastWrite", 510, 3, 0, "InternetWriteFile2", 2},
                      WriteFailCase{"ServerRefusesOnClose", 1000, 0, inet::kErrorConnectionAborted,
                                    "InternetWriteFile2", 3}),
    [](const auto& p) { return p.param.name; });

TEST_F(cFTPScriptedTest, FileTooLargeForTheCountsIsRefused) {
    const std::string big = local / "big.bin";
    test::WriteFile(big, "");
    ASSERT_EQ(::truncate(big.c_str(), int64_t{1} << 31), 0);  // sparse: takes no space
    cFTP ftp(net);
    Recorder rec;
    rec.Attach(ftp);
    ASSERT_TRUE(ftp.OpenConnection("h", "u", "p"));
    EXPECT_THROW(ftp.FTPUploadFile(big, "big.bin"), VbError);
    EXPECT_TRUE(net.writes.empty());
    EXPECT_TRUE(rec.events.empty());
    EXPECT_EQ(net.open.size(), 2u) << "the remote file was closed";
}

}  // namespace
}  // namespace folioray
