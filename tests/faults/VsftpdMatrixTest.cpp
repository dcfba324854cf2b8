// Uploads to vsftpd and sshd, servers the control meets in the field: both modes, IPv6,
// TLS, SFTP, refusals, a full disk, a server killed or stopped mid-transfer, a local file
// cut short, proxies. A failure is the server's own reply where it gave one; the transfer
// is never completed on the server's side, and nothing cut short is left under the file's
// name. A channel that cannot be trusted is refused before the password is sent.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

using test::Sshd;
using test::Vsftpd;

enum class Remote { Complete, NoFile, NoCompleteCopy };

struct UploadRun;
struct Row {
    std::string name;
    Vsftpd::Options server{};
    int mode = 0;  // 0 active, 1 passive
    std::function<void(UploadRun&)> before{};
    std::function<void(UploadRun&)> halfWay{};  // once, when `at` of the file has been handed over
    std::string result{};                       // UploadFile's result; "..." ends a prefix
    Remote remote = Remote::NoFile;
    bool serverCompleted = false;  // the server logged the upload as complete
    size_t bytes = 2 << 20;        // more than the sockets hold where the server must stall
    double at = 0.5;               // the part handed over when halfWay runs
    bool sftp = false;             // sshd instead of vsftpd
    bool refusedBeforeLogin = false;
};

struct UploadRun {
    explicit UploadRun(const Row& r)
        : row(r),
          server(r.sftp ? std::unique_ptr<test::LoopbackServer>(std::make_unique<Sshd>())
                        : std::make_unique<Vsftpd>(r.server)),
          address(server->address()) {}
    const Row& row;
    std::unique_ptr<test::LoopbackServer> server;
    std::string address;  // as UploadFile is given it
    test::TempDir work;
    test::HeadlessControl c{false};
    CurlInternet internet{CurlInternet::Timeouts{3000, 3000, 1500}};
    std::string local;
    std::vector<int> held;  // client connections kept open
    int pumpsWhileStopped = -1;
    ~UploadRun() {
        for (int fd : held) ::close(fd);
        for (const char* v : {"ftp_proxy", "no_proxy", "CURL_CA_BUNDLE", "FOLIORAY_KNOWN_HOSTS"}) {
            ::unsetenv(v);
        }
    }
};

// A client that takes the server's only slot and keeps it.
void TakeTheOnlySlot(UploadRun& r) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(r.server->port());
    char greeting[4] = {};
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::recv(fd, greeting, 3, MSG_WAITALL), 3);
    r.held.push_back(fd);
}

// The server's address with `scheme`, and the test CA trusted or the host key known.
std::function<void(UploadRun&)> Secure(std::string scheme, bool trusted = true,
                                       std::string host = "127.0.0.1") {
    return [=](UploadRun& r) {
        r.address = scheme + host + ":" + std::to_string(r.server->port());
        if (auto* s = dynamic_cast<Sshd*>(r.server.get())) {
            ::setenv("FOLIORAY_KNOWN_HOSTS", (trusted ? s->knownHosts() : r.work / "none").c_str(),
                     1);
        } else if (trusted) {
            ::setenv("CURL_CA_BUNDLE", static_cast<Vsftpd&>(*r.server).caFile().c_str(), 1);
        }
    };
}

void UnreachableProxy(UploadRun& r) {
    test::SilentListener closed;  // a port that is free once this goes
    const std::string proxy = "http://127.0.0.1:" + std::to_string(closed.port());
    (void)r;
    ::setenv("ftp_proxy", proxy.c_str(), 1);
}

std::vector<Row> Rows() {
    const Vsftpd::Options plain, v6{.ipv6 = true}, readOnly{.writeEnable = false},
        small{.diskBytes = 256 << 10}, oneClient{.maxClients = 1},
        tls{.tls = Vsftpd::Tls::Explicit}, implicit{.tls = Vsftpd::Tls::Implicit};
    const bool activeTls = CurlInternet::ActiveTlsIsSafe();
    auto refused = [](std::string name, Vsftpd::Options server, auto before, std::string result,
                      bool sftp = false) {
        Row r{name,          server, 1, before, nullptr, "InternetConnect error code: " + result,
              Remote::NoFile};
        r.sftp = sftp;
        r.refusedBeforeLogin = true;
        return r;
    };
    return {
        {"TlsExplicitPassive_Stores", tls, 1, Secure("ftps://"), nullptr, "", Remote::Complete,
         true},
        {"TlsImplicitPassive_Stores", implicit, 1, Secure("ftps-implicit://"), nullptr, "",
         Remote::Complete, true},
        {"Sftp_Stores", plain, 0, Secure("sftp://"), nullptr, "", Remote::Complete, false, 2 << 20,
         0.5, true},
        {"SftpWriteRefused_GivesTheServersAnswer", plain, 0,
         [](UploadRun& r) {
             Secure("sftp://")(r);
             ::chmod(r.server->file("").c_str(), 0555);
         },
         nullptr, "Upload failed: Permission denied (3/-31)\r\n", Remote::NoFile, false, 2 << 20,
         0.5, true},
        // libcurl 7.88 sends an active data connection in clear text: refused there.
        {"TlsExplicitActive_StoresOrIsRefusedBeforeTheLogin", tls, 0, Secure("ftps://"), nullptr,
         activeTls ? ""
                   : "InternetConnect error code: 12904 Message: Active mode is not available "
                     "over TLS here (the file would go unencrypted); use passive mode.\r\n",
         activeTls ? Remote::Complete : Remote::NoFile, activeTls, 2 << 20, 0.5, false, !activeTls},
        refused("UntrustedCertificate_RefusedBeforeTheLogin", tls, Secure("ftps://", false),
                "12045 Message: The server's certificate is not trusted: no trusted authority "
                "issued it. (SSL certificate problem: unable to get local issuer certificate)\r\n"),
        refused("CertificateForAnotherName_RefusedBeforeTheLogin", tls,
                Secure("ftps://", true, "localhost"),
                "12038 Message: The server's certificate is for another name (name mismatch). "
                "(SSL: no alternative certificate subject name matches target host name "
                "'localhost')\r\n"),
        refused("PlainServer_RefusedBeforeTheLogin", plain, Secure("ftps://"),
                "12901 Message: The server does not offer TLS; nothing was sent without it.\r\n"),
        refused("UnknownHostKey_RefusedBeforeTheLogin", plain, Secure("sftp://", false),
                "12902 Message: The server's host key is unknown: it is not in the known hosts "
                "file...",
                true),
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
         [](UploadRun& r) { r.server->Signal(SIGKILL); }, "InternetWriteFile error code: 1203...",
         Remote::NoCompleteCopy, false, 32 << 20},
        {"ServerStopped_TimesOutWhileTheHostKeepsPumping", plain, 1, nullptr,
         [](UploadRun& r) {
             r.server->Signal(SIGSTOP);
             r.pumpsWhileStopped = r.c.host.doEvents;
         },
         // A stopped server's socket still takes in up to half its 32 MB receive buffer.
         "InternetWriteFile error code: 12002...", Remote::NoCompleteCopy, false, 48 << 20, 0.05},
        {"LocalFileCutShort_AbortsAndRemovesThePart", plain, 0,
         [](UploadRun& r) {
             // An older good copy, which a completed short upload would replace.
             test::WriteFile(r.server->file("scanx.txt"), "older good copy");
             const passwd* ftp = ::getpwnam("ftp");
             ASSERT_EQ(::chown(r.server->file("scanx.txt").c_str(), ftp->pw_uid, ftp->pw_gid), 0);
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
    ASSERT_TRUE(r.server->why().empty()) << r.server->why();
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
    int events = 0, locked = 0;
    control.UploadProgress = [&](int32_t sent, int32_t total) {
        ++events;
        locked += !control.Children()[Child::Command2].enabled;
        if (!halfWay && sent >= total * row.at && row.halfWay) {
            halfWay = true;
            row.halfWay(r);
        }
    };

    const std::string result = control.UploadFile(
        Variant(r.address), Variant(row.sftp ? Sshd::kUser : Vsftpd::kUser),
        Variant(Sshd::kPassword), Variant(int32_t{row.mode}), Variant::Missing(), Variant("up"));
    r.server->Signal(SIGCONT);

    const size_t dots = row.result.find("...");
    if (dots == std::string::npos) {
        EXPECT_EQ(result, row.result);
    } else {
        EXPECT_EQ(result.substr(0, dots), row.result.substr(0, dots)) << result;
    }
    const std::string remote = r.server->file("scanx.txt");
    switch (row.remote) {
        case Remote::Complete:
            EXPECT_TRUE(test::Exists(remote) && test::ReadFile(remote) == bytes);
            // Every transport: 255-byte blocks, one event each, the control locked meanwhile.
            EXPECT_EQ(events, static_cast<int>(test::ExpectedEvents(row.bytes).size()));
            EXPECT_EQ(locked, events);
            EXPECT_TRUE(control.Children()[Child::Command2].enabled);
            break;
        case Remote::NoFile:
            EXPECT_FALSE(test::Exists(remote)) << test::ReadFile(remote).size() << " bytes left";
            break;
        case Remote::NoCompleteCopy:
            EXPECT_TRUE(!test::Exists(remote) || test::ReadFile(remote).size() < bytes.size());
            break;
    }
    if (row.refusedBeforeLogin) {
        EXPECT_EQ(r.server->Log().find("\"USER "), std::string::npos) << r.server->Log();
        EXPECT_EQ(r.server->Log().find("password for"), std::string::npos) << r.server->Log();
    }
    if (row.remote != Remote::NoCompleteCopy && !row.sftp) {
        EXPECT_EQ(r.server->Log().find("OK UPLOAD") != std::string::npos, row.serverCompleted)
            << r.server->Log();
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
