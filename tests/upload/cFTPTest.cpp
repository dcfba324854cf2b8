// cFTP against a real FTP server, and against the scripted port for faults a server
// cannot be made to show on cue.
#include <gtest/gtest.h>

#include <unistd.h>
#include <ostream>

#include <filesystem>
#include <memory>

#include "platform/curl/CurlInternet.h"
#include "platform/headless/ScriptedInternet.h"
#include "runtime/VbError.h"
#include "tests/support/FtpServer.h"
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
    // A pump after every full block, each before that block's event (the network layer
    // pumps as well while it waits).
    int32_t pumpedEvents = 0;
    for (size_t i = 1; i < rec.order.size(); ++i) {
        pumpedEvents += rec.order[i] == "event" && rec.order[i - 1] == "pump";
    }
    EXPECT_GE(pumpedEvents, c.size / 255);
    EXPECT_TRUE(test::ReadFile(server.file("scanx.jpg")) == data) << "file differs";
    EXPECT_EQ(ftp.GetLastErrorMessage(), "");
}

INSTANTIATE_TEST_SUITE_P(Sizes, cFTPUploadTest,
                         ::testing::Values(SizeCase{0, true}, SizeCase{254, false},
                                           SizeCase{255, true}, SizeCase{510, true},
                                           SizeCase{510, false}, SizeCase{1000000, true},
                                           SizeCase{1000000, false}),
                         [](const auto& p) {
                             return std::to_string(p.param.size) +
                                    (p.param.passive ? "_passive" : "_active");
                         });

class cFTPServerTest : public ::testing::Test {
  protected:
    FtpServer server;
    test::TempDir local;
    CurlInternet net;
    cFTP ftp{net};

    bool Open(const std::string& password) {
        return ftp.OpenConnection(server.address(), server.user(), password);
    }
};

TEST_F(cFTPServerTest, NamesAreTrimmedOfSpaces) {
    test::WriteFile(local / "f.txt", "abc");
    ASSERT_TRUE(Open(server.password()));
    ASSERT_TRUE(ftp.FTPUploadFile("  " + (local / "f.txt") + "  ", "  r.txt  "));
    EXPECT_EQ(test::ReadFile(server.file("r.txt")), "abc");
}

TEST_F(cFTPServerTest, RejectedLoginLeavesOnlyTheServerReply) {
    EXPECT_FALSE(Open("not-the-password"));
    const std::string e = ftp.GetLastErrorMessage();
    EXPECT_EQ(e.substr(0, 4), "530 ") << e;
    EXPECT_EQ(e.find("InternetConnect"), std::string::npos);
}

TEST_F(cFTPServerTest, MissingDirectoryGivesTheServerReply) {
    ASSERT_TRUE(Open(server.password()));
    EXPECT_FALSE(ftp.SetFTPDirectory("no/such/dir"));
    EXPECT_EQ(ftp.GetLastErrorMessage().substr(0, 4), "550 ");
    std::filesystem::create_directory(server.file("in"));
    test::WriteFile(local / "f.txt", "x");
    ASSERT_TRUE(ftp.SetFTPDirectory("in"));
    ASSERT_TRUE(ftp.FTPUploadFile(local / "f.txt", "f.txt"));
    EXPECT_TRUE(test::Exists(server.file("in/f.txt")));
}

TEST_F(cFTPServerTest, FileSizeOfAFileOfNoneAndOfALostConnection) {
    test::WriteFile(server.file("s.bin"), std::string(1234, 's'));
    ASSERT_TRUE(Open(server.password()));
    EXPECT_EQ(ftp.GetFTPFileSize("s.bin"), 1234);
    EXPECT_EQ(ftp.GetFTPFileSize("none.bin"), -1);
    EXPECT_EQ(ftp.GetLastErrorMessage(), "");
}

TEST_F(cFTPServerTest, SimplePutFile) {
    const std::string data = test::PatternBytes(5000);
    test::WriteFile(local / "p.bin", data);
    ASSERT_TRUE(Open(server.password()));
    ftp.SetTransferBinary();
    ASSERT_TRUE(ftp.SimpleFTPPutFile(local / "p.bin", "p.bin"));
    EXPECT_TRUE(test::ReadFile(server.file("p.bin")) == data);
    EXPECT_FALSE(ftp.SimpleFTPPutFile(local / "missing.bin", "m.bin"));
    EXPECT_EQ(ftp.GetLastErrorMessage().rfind("SimpleFtpPutFile error code: 2 Message: ", 0), 0u)
        << ftp.GetLastErrorMessage();
}

TEST_F(cFTPServerTest, LocalFileThatCannotBeOpenedThrowsAndRecordsNothing) {
    ASSERT_TRUE(Open(server.password()));
    try {
        ftp.FTPUploadFile(local / "gone.jpg", "gone.jpg");
        FAIL() << "no exception";
    } catch (const VbError& e) {
        EXPECT_EQ(e.Number(), err::kFileNotFound);
    }
    EXPECT_EQ(ftp.GetLastErrorMessage(), "");
    // The remote file was closed again: the connection takes the next upload.
    test::WriteFile(local / "ok.txt", "ok");
    EXPECT_TRUE(ftp.FTPUploadFile(local / "ok.txt", "ok.txt")) << ftp.GetLastErrorMessage();
}

TEST(cFTPLostServerTest, FileSizeAfterTheServerWentAway) {
    auto server = std::make_unique<FtpServer>();
    CurlInternet net(CurlInternet::Timeouts{2000, 2000, 3000});
    cFTP ftp(net);
    ASSERT_TRUE(ftp.OpenConnection(server->address(), server->user(), server->password()));
    server.reset();
    EXPECT_EQ(ftp.GetFTPFileSize("x.bin"), -2);
    EXPECT_EQ(ftp.GetLastErrorMessage().rfind("FtpFindFirstFile error code: ", 0), 0u)
        << ftp.GetLastErrorMessage();
}

TEST(cFTPDroppedDataTest, ADataConnectionResetMidwayFailsTheUpload) {
    FtpServer::Options o;
    o.dropAfter = 100000;
    FtpServer server(o);
    test::TempDir local;
    const int32_t size = 1000000;
    test::WriteFile(local / "big.bin", test::PatternBytes(size));
    CurlInternet net(CurlInternet::Timeouts{5000, 5000, 10000});
    for (bool passive : {true, false}) {
        cFTP ftp(net);
        Recorder rec;
        rec.Attach(ftp);
        ftp.SetTransferBinary();
        if (passive) ftp.SetModePassive();
        ASSERT_TRUE(ftp.OpenConnection(server.address(), server.user(), server.password()));
        EXPECT_FALSE(ftp.FTPUploadFile(local / "big.bin", "big.bin"));
        // Either the write saw the reset, or the server's own reply about it came first.
        const std::string e = ftp.GetLastErrorMessage();
        EXPECT_TRUE(e.rfind("InternetWriteFile", 0) == 0 || e.rfind("426 ", 0) == 0) << e;
        ASSERT_FALSE(rec.events.empty());
        EXPECT_LT(rec.events.back().first, size) << "no final event after a failure";
        ftp.CloseConnection();
    }
}

TEST(cFTPPasswordTest, NoTextCarriesThePassword) {
    FtpServer::Options o;
    o.echoPassword = true;
    FtpServer server(o);
    CurlInternet net;
    cFTP ftp(net);
    EXPECT_FALSE(ftp.OpenConnection(server.address(), server.user(), "MyOwn-Secret"));
    const std::string e = ftp.GetLastErrorMessage();
    EXPECT_EQ(e.substr(0, 4), "530 ") << e;
    EXPECT_EQ(e.find("MyOwn-Secret"), std::string::npos) << e;
    EXPECT_EQ(e.find("myown-secret"), std::string::npos) << e;
}

// ---- Scripted faults.

class cFTPScriptedTest : public ::testing::Test {
  protected:
    ScriptedInternet net;
    test::TempDir local;
};

TEST_F(cFTPScriptedTest, ErrorLineHasSourceCodeAndMessage) {
    net.connectError = inet::kErrorCannotConnect;
    cFTP ftp(net);
    EXPECT_FALSE(ftp.OpenConnection("h", "u", "p"));
    EXPECT_EQ(ftp.GetLastErrorMessage(),
              "InternetConnect error code: 12029 Message: A connection to the server could not "
              "be established.\r\n");
}

TEST_F(cFTPScriptedTest, CodeWithoutTextEndsAtMessageAndNegativeCodesKeepTheirSign) {
    net.connectError = 4242;
    cFTP ftp(net);
    EXPECT_FALSE(ftp.OpenConnection("h", "u", "p"));
    EXPECT_EQ(ftp.GetLastErrorMessage(), "InternetConnect error code: 4242 Message: ");
    net.directoryError = 0xFFFFFFFFu;
    EXPECT_FALSE(ftp.SetFTPDirectory("d"));
    EXPECT_EQ(ftp.GetLastErrorMessage(), "FtpSetCurrentDirectory error code: -1 Message: ");
}

TEST_F(cFTPScriptedTest, ExtendedErrorIsTheServerReplyAloneCutToItsBuffer) {
    net.connectError = inet::kErrorExtendedError;
    net.response = "530-First line\r\n530 " + std::string(3000, 'x') + "\r\n";
    cFTP ftp(net);
    EXPECT_FALSE(ftp.OpenConnection("h", "u", "p"));
    EXPECT_EQ(ftp.GetLastErrorMessage(), net.response.substr(0, 2047));
}

TEST_F(cFTPScriptedTest, FailedSessionIsRecordedAndLaterCallsFail) {
    net.openError = inet::kErrorInternalError;
    cFTP ftp(net);
    EXPECT_EQ(ftp.GetLastErrorMessage().rfind("InternetOpen error code: 12004 Message: ", 0), 0u);
    EXPECT_FALSE(ftp.OpenConnection("h", "u", "p"));
    EXPECT_EQ(ftp.GetLastErrorMessage().rfind("InternetConnect error code: 6 ", 0), 0u);
}

TEST_F(cFTPScriptedTest, EmptyNamesFailWithoutTextOrServerCall) {
    net.connectError = inet::kErrorTimeout;
    cFTP ftp(net);
    ftp.OpenConnection("h", "u", "p");
    const std::string before = ftp.GetLastErrorMessage();
    Recorder rec;
    rec.Attach(ftp);
    EXPECT_FALSE(ftp.FTPUploadFile("   ", "r.txt"));
    EXPECT_FALSE(ftp.FTPUploadFile(local / "x", "    "));
    EXPECT_EQ(ftp.GetLastErrorMessage(), before);
    EXPECT_TRUE(rec.events.empty());
    for (const auto& call : net.calls) EXPECT_EQ(call.find("FtpOpenFileA"), std::string::npos);
}

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
                      WriteFailCase{"ThirdBlock", 1000, 3, 0, "InternetWriteFile", 2},
                      WriteFailCase{"LastPartialBlock", 1000, 4, 0, "InternetWriteFile2", 3},
                      WriteFailCase{"EmptyLastWrite", 510, 3, 0, "InternetWriteFile2", 2},
                      WriteFailCase{"ServerRefusesOnClose", 1000, 0, inet::kErrorConnectionAborted,
                                    "InternetWriteFile2", 3}),
    [](const auto& p) { return p.param.name; });

TEST_F(cFTPScriptedTest, WritesAreBlocksOf255AndAFinalWriteEvenWhenEmpty) {
    const std::string data = test::PatternBytes(765);
    test::WriteFile(local / "f.bin", data);
    cFTP ftp(net);
    ASSERT_TRUE(ftp.OpenConnection("h", "u", "p"));
    ASSERT_TRUE(ftp.FTPUploadFile(local / "f.bin", "f.bin"));
    EXPECT_EQ(net.writes, (std::vector<uint32_t>{255, 255, 255, 0}));
    EXPECT_TRUE(net.received == data);
}

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

TEST_F(cFTPScriptedTest, FileSizeCodes) {
    cFTP ftp(net);
    ASSERT_TRUE(ftp.OpenConnection("h", "u", "p"));
    net.findResult.nFileSizeLow = 0xFFFFFFF0u;
    EXPECT_EQ(ftp.GetFTPFileSize("f"), -16);  // the low 32 bits, read as signed
    net.findError = inet::kErrorNoMoreFiles;
    EXPECT_EQ(ftp.GetFTPFileSize("f"), -1);
    EXPECT_EQ(ftp.GetLastErrorMessage(), "");
    net.findError = inet::kErrorConnectionReset;
    EXPECT_EQ(ftp.GetFTPFileSize("f"), -2);
    EXPECT_EQ(ftp.GetLastErrorMessage().rfind("FtpFindFirstFile error code: 12031 ", 0), 0u);
}

TEST_F(cFTPScriptedTest, ModeAndTypeReachOnlyTheNextCall) {
    test::WriteFile(local / "f.txt", "x");
    cFTP ftp(net);
    ftp.SetModePassive();
    ASSERT_TRUE(ftp.OpenConnection("h", "u", "p"));
    ftp.SetModeActive();  // the open connection keeps its mode
    ASSERT_TRUE(ftp.FTPUploadFile(local / "f.txt", "a.txt"));
    ftp.SetTransferBinary();
    ASSERT_TRUE(ftp.FTPUploadFile(local / "f.txt", "b.txt"));
    ASSERT_TRUE(ftp.OpenConnection("h", "u", "p"));
    EXPECT_EQ(net.connectFlags, (std::vector<uint32_t>{inet::kFlagPassive, 0}));
    EXPECT_EQ(net.openFlags,
              (std::vector<uint32_t>{inet::kTransferTypeAscii, inet::kTransferTypeBinary}));
    EXPECT_EQ(net.open.size(), 2u) << "the first connection was closed when replaced";
}

}  // namespace
}  // namespace folioray
