// The command-line host under Valgrind's memcheck: a scan, the failures a user meets, a
// PDF and its upload, with no invalid access and no leak. Built only
// without the sanitizers (the two do not mix).
#include <gtest/gtest.h>

#include <unistd.h>
#include <regex>

#include "tests/acquire/SaneTestDevice.h"
#include "tests/support/FtpServer.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray {
namespace {

// Any invalid access or leak makes the exit status 99.
test::ProcessResult UnderValgrind(const std::vector<std::string>& cliArgs) {
    std::vector<std::string> argv = {"valgrind",
                                     "-q",
                                     "--tool=memcheck",
                                     "--error-exitcode=99",
                                     "--leak-check=full",
                                     "--errors-for-leak-kinds=definite,indirect,possible",
                                     "--show-leak-kinds=definite,indirect,possible",
                                     "--keep-debuginfo=yes",
                                     "--child-silent-after-fork=yes",
                                     "--num-callers=30",
                                     "--suppressions=" + test::SupportDir() + "/valgrind.supp",
                                     FOLIORAY_CLI};
    argv.insert(argv.end(), cliArgs.begin(), cliArgs.end());
    return test::RunProcess(argv, {test::SaneEnv()}, 900);
}

class ValgrindCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access("/usr/bin/valgrind", X_OK) != 0) {
            GTEST_SKIP() << "valgrind is not installed";
        }
    }
    test::TempDir dir;
};

TEST_F(ValgrindCliTest, AScanTheFailuresAUserMeetsAndAPdfUploadAreClean) {
    test::FtpServer server;
    // A bitmap whose header claims more rows than it holds.
    const std::string bad = dir / "bad.bmp";
    test::WriteFile(bad, std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\xff\xff\xff\x7f"
                                     "\x01\0\0\0\x01\0\x18\0",
                                     30));
    const std::string port = std::to_string(test::ClosedPort()), closed = "127.0.0.1:" + port;
    const std::string png =
        std::string(std::getenv("FOLIORAY_SOURCE_DIR") ? std::getenv("FOLIORAY_SOURCE_DIR")
                                                       : FOLIORAY_SOURCE_DIR_DEFAULT) +
        "/tests/fuzz/corpus/picture_file/rgb.png";
    const auto r = UnderValgrind(
        {"--set", "FilePath=" + dir.path(), "--device", "test", "--scan-option", "resolution=75",
         "--call", "StartScan",
         // The upload's failures, then the device's and the clipboard's.
         "--call", "UploadFile", server.address(), server.user(), "wrong", "--call", "UploadFile",
         server.address(), server.user(), server.password(), "1", "x", "no/such/folder", "--call",
         "UploadFile", closed, "u", "p", "--scan-option", "read-return-value=SANE_STATUS_JAMMED",
         "--call", "StartScan", "--paste-image", bad,
         // And a paste to PDF that works, uploaded with its progress shown.
         "--set", "SaveAsPDF=1", "--paste-image", png, "--progress", "--call", "UploadFile",
         server.address(), server.user(), server.password(), "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "folioray: scanner: sane_read: Document feeder jammed\n");
    const std::string size = std::to_string(test::ReadFile(dir / "scanx.pdf").size());
    EXPECT_NE(r.out.find("\nProgress: 255/" + size + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nProgress: " + size + "/" + size + "\nUploadFile: \n"),
              std::string::npos)
        << r.out;
    // How long the refused connection took varies under Valgrind.
    const std::string out = std::regex_replace(r.out, std::regex("Progress: [0-9/]+\n"), "");
    EXPECT_EQ(std::regex_replace(out, std::regex("after [0-9]+ ms"), "after N ms"),
              "ScanComplete: " + (dir / "scanx.jpg") +
                  "\nUploadFile: 530 Authentication failed.\n"
                  "UploadFile: 550 No such file or directory.\n"
                  "UploadFile: InternetConnect error code: 12029 Message: A connection to the "
                  "server could not be established. (Failed to connect to 127.0.0.1 port " +
                  port +
                  " after N ms: Couldn't connect to server)\n"
                  "MessageBox [Pagewright Control] (stop): The picture could not be "
                  "scanned.\\n\\nA Problem was encountered while attempting to aquire the "
                  "image. Please try again.\n"
                  "MessageBox [Clipboard Paste unsuccessful] (exclamation): An Error occurred "
                  "while transferring the image from the clipboard to memory. The problem was "
                  "identified as Invalid picture. Please try again.\n"
                  "ScanComplete: " +
                  (dir / "scanx.pdf") + "\nUploadFile: \n");
    EXPECT_EQ(test::ReadFile(server.file("scanx.pdf")), test::ReadFile(dir / "scanx.pdf"));
}

}  // namespace
}  // namespace folioray
