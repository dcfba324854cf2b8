// A listing that never ends: the file-size query reads its first lines and returns
// instead of waiting for the end of a stream that keeps coming.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "platform/curl/CurlInternet.h"
#include "tests/faults/FtpPeer.h"
#include "upload/cFTP.h"

namespace folioray {
namespace {

// A passive-mode data channel of the peer: one listening socket, one connection.
class DataChannel {
  public:
    DataChannel() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listen_, 1);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~DataChannel() {
        if (conn_ >= 0) ::close(conn_);
        ::close(listen_);
    }
    std::string PasvReply() const {
        return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port_ / 256) + "," +
               std::to_string(port_ % 256) + ")\r\n";
    }
    bool Accept() {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return false;
        conn_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        return conn_ >= 0;
    }
    // False once the client has gone.
    bool Send(const std::string& bytes) {
        return ::send(conn_, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0;
    }

  private:
    int listen_ = -1;
    int conn_ = -1;
    uint16_t port_ = 0;
};

TEST(EndlessListingTest, TheFileSizeComesFromTheFirstLines) {
    std::atomic<long> sent{0};
    test::FtpPeer peer([&sent](test::FtpPeer::Conn& c) {
        if (!c.Send("220 ready\r\n")) return;
        std::unique_ptr<DataChannel> data;
        while (auto line = c.ReadLine()) {
            const std::string verb = line->substr(0, line->find(' '));
            std::string reply = "200 ok\r\n";
            if (verb == "USER") reply = "331 password\r\n";
            if (verb == "PASS") reply = "230 in\r\n";
            if (verb == "PWD") reply = "257 \"/\"\r\n";
            if (verb == "EPSV") reply = "500 not here\r\n";
            if (verb == "QUIT") reply = "221 bye\r\n";
            if (verb == "PASV") {
                data = std::make_unique<DataChannel>();
                reply = data->PasvReply();
            }
            if (verb == "LIST" && data) {
                if (!c.Send("150 here it comes\r\n") || !data->Accept()) return;
                const std::string entry =
                    "-rw-r--r--   1 owner group      4321 Jan 01 12:00 scanx.jpg\r\n";
                std::string block;
                while (block.size() < 64 * 1024) block += entry;
                // Without end, until the client stops reading (or 1 GB, for safety).
                while (!c.Stopping() && sent < (1L << 30) && data->Send(block)) {
                    sent += static_cast<long>(block.size());
                }
                data.reset();
                reply = "226 done\r\n";
            }
            if (!c.Send(reply)) return;
        }
    });
    CurlInternet net{CurlInternet::Timeouts{5000, 5000, 5000}};
    cFTP ftp(net);
    ftp.SetModePassive();
    ASSERT_TRUE(ftp.OpenConnection(peer.address(), "tester", "pw")) << ftp.GetLastErrorMessage();
    EXPECT_EQ(ftp.GetFTPFileSize("scanx.jpg"), 4321) << ftp.GetLastErrorMessage();
    EXPECT_LT(sent.load(), 1L << 30);
    ftp.CloseConnection();
}

}  // namespace
}  // namespace folioray
