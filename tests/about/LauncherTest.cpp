// Starting a program detached: it runs on its own, in its own session, and leaves no
// child behind.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <ostream>

#include <cerrno>
#include <sstream>
#include <string>

#include "platform/posix/PosixLauncher.h"
#include "tests/about/AboutSupport.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

TEST(PosixLauncherTest, StartsAProgramInItsOwnSessionWithoutAZombie) {
    test::TempDir dir;
    // A descriptor without close-on-exec, as a host might hold: it must not reach the program.
    const int leak = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leak, 0);
    const std::string leakCheck =
        "if [ -e /proc/$$/fd/" + std::to_string(leak) + " ]; then in=leaked; fi\n";
    // The check runs after stdin's name is read and replaces it when the descriptor leaked.
    test::WriteMarkScript(dir / "prog", dir / "mark", leakCheck);
    PosixLauncher launcher;
    ASSERT_TRUE(launcher.StartDetached(dir / "prog")) << launcher.LastError();
    EXPECT_EQ(launcher.LastError(), 0);
    // The intermediate process is reaped already; the program is nobody's child here.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ::close(leak);

    ASSERT_TRUE(test::WaitForFile(dir / "mark"));
    std::istringstream in(test::ReadFile(dir / "mark"));
    long pid = 0, sid = 0;
    std::string stdinName, stdoutName;
    in >> pid >> sid >> stdinName >> stdoutName;
    EXPECT_EQ(sid, pid);  // a session leader
    EXPECT_NE(sid, static_cast<long>(::getsid(0)));
    EXPECT_EQ(stdinName, "/dev/null");
    EXPECT_EQ(stdoutName, "/dev/null");
}

struct FailCase {
    const char* name;
    std::string (*path)(const test::TempDir&);
    friend void PrintTo(const FailCase& c, std::ostream* os) { *os << c.name; }
};

class PosixLauncherFailTest : public ::testing::TestWithParam<FailCase> {};

TEST_P(PosixLauncherFailTest, ReportsAFailedStart) {
    test::TempDir dir;
    test::WriteFile(dir / "plain", "#!/bin/sh\ntouch '" + (dir / "ran") + "'\n");
    PosixLauncher launcher;
    EXPECT_FALSE(launcher.StartDetached(GetParam().path(dir)));
    EXPECT_NE(launcher.LastError(), 0);
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_FALSE(test::Exists(dir / "ran"));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PosixLauncherFailTest,
    ::testing::Values(
        FailCase{"Missing", [](const test::TempDir& d) { return d / "missing"; }},
        FailCase{"NotExecutable", [](const test::TempDir& d) { return d / "plain"; }},
        FailCase{"EmbeddedNul",
                 [](const test::TempDir& d) { return d / "plain" + std::string(1, '\0') + "x"; }},
        // No shell: a command line is one (missing) file name, not a command.
        FailCase{"NoShellParsing",
                 [](const test::TempDir& d) { return "/bin/sh -c 'touch " + (d / "ran") + "'"; }}),
    [](const auto& tp) { return std::string(tp.param.name); });

}  // namespace
}  // namespace folioray
