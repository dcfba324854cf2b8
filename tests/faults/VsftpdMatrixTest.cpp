// Uploads to vsftpd, a server the control meets in the field: both modes, IPv6, refusals,
// a full disk, a server killed or stopped mid-transfer, a local file cut short, proxies.
// A failure is the server's own reply where it gave one; the transfer is never completed
// on the server's side, and nothing cut short is left under the file's name.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform/curl/CurlInternet.h"
#include "runtime/Variant.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/Vsftpd.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray {
namespace {

using test::Vsftpd;

enum class Remote { Complete, NoFile, NoCompleteCopy };

struct UploadRun;
struct Row {
    std::string name;
    Vsftpd::Options server;
    int mode;  // 0 active, 1 passive
    std::function<void(UploadRun&)> before;
    std::function<void(UploadRun&)> halfWay;  // once, when `at` of the file has been handed over
    std::string result;                       // UploadFile's result; "..." ends a prefix
    Remote remote;
    bool serverCompleted = false;  // the server logged the upload as complete
    size_t bytes = 2 << 20;        // more than the sockets hold where the server must stall
    double at = 0.5;               // the part handed over when halfWay runs
};

struct UploadRun {
    explicit UploadRun(const Row& r) : row(r), server(r.server) {}
    const Row& row;
    Vsftpd server;
    test::TempDir work;
    test::HeadlessControl c{false};
    CurlInternet internet{CurlInternet::Timeouts{3000, 3000, 1500}};
    std::string local;
    std::vector<int> held;  // client connections kept open
    int pumpsWhileStopped = -1;
    ~UploadRun() {
        for (int fd : held) ::close(fd);
        ::unsetenv("ftp_proxy");
        ::unsetenv("no_proxy");
    }
};

// A client that takes the server's only slot and keeps it.
void TakeTheOnlySlot(UploadRun& r) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(r.server.port());
    char greeting[4] = {};
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::recv(fd, greeting, 3, MSG_WAITALL), 3);
    r.held.push_back(fd);
}

void UnreachableProxy(UploadRun& r) {
    test::SilentListener closed;  // a port that is free once this goes
    const std::string proxy = "http://127.0.0.1:" + std::to_string(closed.port());
    (void)r;
    ::setenv("ftp_proxy", proxy.c_str(), 1);
}

std::vector<Row> Rows() {
    Vsftpd::Options plain;
    Vsftpd::Options v6;
    v6.ipv6 = true;
    Vsftpd::Options readOnly;
    readOnly.writeEnable = false;
    Vsftpd::Options small;
    small.diskBytes = 256 << 10;
    Vsftpd::Options oneClient;
    oneClient.maxClients = 1;
    return {
        {"Active_Stores", plain, 0, nullptr, nullptr, "", Remote::Complete, true},
        {"Passive_Stores", plain, 1, nullptr, nullptr, "", Remote::Complete, true},
        {"Ipv6Active_Stores", v6, 0, nullptr, nullptr, "", Remote::Complete, true},
        {"Ipv6Passive_Stores", v6, 1, nullptr, nullptr, "", Remote::Complete, true},
        {"WriteDisabled_GivesTheServersReply", readOnly, 1, nullptr, nullptr,
         "550 Permission denied.\r\n", Remote::NoFile},
        {"FullDisk_GivesTheServersReplyAndRemovesThePart", small, 0, nullptr, nullptr,
         "451 Failure writing to local file.\r\n", Remote::NoFile},
        {"TooManyClients_GivesTheServersReply", oneClient, 1, TakeTheOnlySlot, nullptr,
         "421 There are too many connected users, please try later.\r\n", Remote::NoFile},
        {"ServerKilled_IsAConnectionFailure", plain, 0, nullptr,
         [](UploadRun& r) { r.server.Signal(SIGKILL); }, "InternetWriteFile error code: 1203...",
         Remote::NoCompleteCopy, false, 32 << 20},
        {"ServerStopped_TimesOutWhileTheHostKeepsPumping", plain, 1, nullptr,
         [](UploadRun& r) {
             r.server.Signal(SIGSTOP);
             r.pumpsWhileStopped = r.c.host.doEvents;
         },
         // A stopped server's socket still takes in up to half its 32 MB receive buffer.
         "InternetWriteFile error code: 12002...", Remote::NoCompleteCopy, false, 48 << 20, 0.05},
        {"LocalFileCutShort_AbortsAndRemovesThePart", plain, 0,
         [](UploadRun& r) {
             // An older good copy, which a completed short upload would replace.
             test::WriteFile(r.server.file("scanx.txt"), "older good copy");
             const passwd* ftp = ::getpwnam("ftp");
             ASSERT_EQ(::chown(r.server.file("scanx.txt").c_str(), ftp->pw_uid, ftp->pw_gid), 0);
         },
         [](UploadRun& r) { std::filesystem::resize_file(r.local, r.row.bytes / 4); },
         "Could not read acquired data from local storage (...", Remote::NoFile},
        {"TwoGigabytes_RefusedBeforeTheTransfer", plain, 0,
         [](UploadRun& r) { std::filesystem::resize_file(r.local, uintmax_t{1} << 31); }, nullptr,
         "Could not read acquired data from local storage (The file is too large to upload (2 GB "
         "or more))",
         Remote::NoFile},
        {"UnreachableProxy_CannotConnect", plain, 1, UnreachableProxy, nullptr,
         "InternetConnect error code: 12029...", Remote::NoFile},
        {"ProxyBypassedForTheServer_Stores", plain, 1,
         [](UploadRun& r) {
             UnreachableProxy(r);
             ::setenv("no_proxy", "127.0.0.1", 1);
         },
         nullptr, "", Remote::Complete, true},
    };
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class VsftpdMatrixTest : public ::testing::TestWithParam<Row> {};

TEST_P(VsftpdMatrixTest, GivesItsOutcome) {
    const Row& row = GetParam();
    if (!Vsftpd::Installed()) GTEST_SKIP() << "vsftpd or root rights missing";
    UploadRun r(row);
    ASSERT_TRUE(r.server.why().empty()) << r.server.why();
    r.c.ports.internet = &r.internet;
    ScanControl& control = r.c.Create();
    control.FilePath(r.work.path());
    control.ControlMode(1);
    control.StartScan();  // a text store gives the working file; its bytes are set below
    r.local = control.CurrentName();
    ASSERT_FALSE(r.local.empty());
    const std::string bytes = test::PatternBytes(row.bytes);
    test::WriteFile(r.local, bytes);
    if (row.before) row.before(r);
    bool halfWay = false;
    control.UploadProgress = [&](int32_t sent, int32_t total) {
        if (!halfWay && sent >= total * row.at && row.halfWay) {
            halfWay = true;
            row.halfWay(r);
        }
    };

    const std::string result = control.UploadFile(
        Variant(r.server.address()), Variant(Vsftpd::kUser), Variant("pw-Secret-42"),
        Variant(int32_t{row.mode}), Variant::Missing(), Variant("up"));
    r.server.Signal(SIGCONT);

    const size_t dots = row.result.find("...");
    if (dots == std::string::npos) {
        EXPECT_EQ(result, row.result);
    } else {
        EXPECT_EQ(result.substr(0, dots), row.result.substr(0, dots)) << result;
    }
    const std::string remote = r.server.file("scanx.txt");
    switch (row.remote) {
        case Remote::Complete:
            EXPECT_TRUE(test::Exists(remote) && test::ReadFile(remote) == bytes);
            break;
        case Remote::NoFile:
            EXPECT_FALSE(test::Exists(remote)) << test::ReadFile(remote).size() << " bytes left";
            break;
        case Remote::NoCompleteCopy:
            EXPECT_TRUE(!test::Exists(remote) || test::ReadFile(remote).size() < bytes.size());
            break;
    }
    if (row.remote != Remote::NoCompleteCopy) {
        EXPECT_EQ(r.server.Log().find("OK UPLOAD") != std::string::npos, row.serverCompleted)
            << r.server.Log();
    }
    if (r.pumpsWhileStopped >= 0) {
        // The host was pumped all through the wait for the stopped server, not only per block.
        EXPECT_GT(r.c.host.doEvents - r.pumpsWhileStopped, 50);
    }
}

INSTANTIATE_TEST_SUITE_P(Vsftpd, VsftpdMatrixTest, ::testing::ValuesIn(Rows()),
                         [](const auto& tp) { return tp.param.name; });

}  // namespace
}  // namespace folioray
