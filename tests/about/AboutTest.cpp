// The About box: the REGEDIT4 registry it reads, System Information and the launcher that
// starts it, and its opening from the control.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "about/frmAbout.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/RegFile.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

// A REGEDIT4 string with its backslashes and quotes escaped.
std::string RegString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// An executable shell script at `path` that records "PID SID STDIN STDOUT" in `mark`.
void WriteMarkScript(const std::string& path, const std::string& mark,
                     const std::string& extra = {}) {
    test::WriteFile(path,
                    "#!/bin/sh\n"
                    "read -r pid comm state ppid pgrp sid rest < /proc/$$/stat\n"
                    "in=$(readlink /proc/$$/fd/0)\n"
                    "out=$(readlink /proc/$$/fd/1)\n" +
                        extra + "echo \"$pid $sid $in $out\" > '" + mark + ".tmp'\nmv '" + mark +
                        ".tmp' '" + mark + "'\n");
    ::chmod(path.c_str(), 0755);
}

// Waits up to ten seconds for a file to appear.
bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        if (test::Exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(AboutCommandTest, TheBoxIsShownModallyThenThePreviewGetsTheFocus) {
    test::TempDir dir;
    WriteMarkScript(dir / "sysinfo", dir / "ran");
    test::WriteFile(dir / "r.reg",
                    "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                    "\"PATH\"=" +
                        RegString(dir / "sysinfo") + "\n");
    RegFileRegistry reg(dir / "r.reg");
    PosixLauncher launcher;
    test::HeadlessControl hc(false);
    hc.ports.registry = &reg;
    hc.ports.launcher = &launcher;
    hc.Create();

    int seen = 0;
    hc.host.onAbout = [&](AboutForm& box) {
        ++seen;
        EXPECT_TRUE(box.Visible());
        EXPECT_EQ(hc.preview.focusCount, 0);
        box.cmdSysInfo_Click();
        box.cmdOK_Click();
    };
    hc->Command5_Click();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(hc.preview.focusCount, 1);
    EXPECT_TRUE(hc.host.messages.empty());
    EXPECT_TRUE(WaitForFile(dir / "ran"));
}

// ---- The REGEDIT4 reader and the registry calls over it.

// The bytes of a value, "type N: bytes", or "error N".
std::string Query(RegFileRegistry& reg, const std::string& key, const std::string& name) {
    HKEY h = 0;
    if (int32_t rc = reg.RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, h); rc != 0) {
        return "error " + std::to_string(rc);
    }
    std::vector<uint8_t> buf(4096);
    uint32_t cb = static_cast<uint32_t>(buf.size()), type = 0;
    const int32_t rc = reg.RegQueryValueExA(h, name, type, buf.data(), cb);
    EXPECT_EQ(reg.RegCloseKey(h), ERROR_SUCCESS);
    if (rc != 0) return "error " + std::to_string(rc);
    return "type " + std::to_string(type) + ": " +
           std::string(reinterpret_cast<const char*>(buf.data()), cb);
}

struct ParseCase {
    const char* name;
    std::string text;
    const char* value;
    std::string expected;
    friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }
};

class RegFileParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParseTest, ReadsWhatTheFileSays) {
    const ParseCase& c = GetParam();
    auto reg = RegFileRegistry::FromText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n" + c.text);
    EXPECT_EQ(Query(*reg, "K", c.value), c.expected);
}

const std::string kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Files, RegFileParseTest,
    ::testing::Values(
        ParseCase{"escapes",
                  R"("a"="C:\\Tools \"x\"")"
                  "\n",
                  "a", "type 1: C:\\Tools \"x\"" + kNul},
        ParseCase{"unknown_escape_kept",
                  R"("a"="C:\tools")"
                  "\n",
                  "a", "type 1: C:\\tools" + kNul},
        ParseCase{"dword", "\"n\"=DWORD:2A\n", "n", std::string("type 4: *\0\0\0", 12)},
        ParseCase{"dword_too_long", "\"n\"=dword:123456789\n", "n", "error 2"},
        ParseCase{"hex_continued", "\"b\"=hex(7):41,00,\\\n  42,00,00\n", "b",
                  std::string("type 7: A\0B\0\0", 13)},
        ParseCase{"hex_bad_byte", "\"b\"=hex:01,zz\n", "b", "error 2"},
        ParseCase{"comments_and_stray_lines", "; note\nstray\n  \"a\"=\"v\"  ; trailing\n", "a",
                  "type 1: v" + kNul},
        ParseCase{"unterminated_string", "\"a\"=\"open\n", "a", "error 2"},
        ParseCase{"later_line_wins", "\"a\"=\"one\"\n\"A\"=\"two\"\n", "a", "type 1: two" + kNul},
        ParseCase{"unknown_root_does_not_leak", "\"a\"=\"one\"\n[HKEY_NOWHERE\\K]\n\"a\"=\"two\"\n",
                  "a", "type 1: one" + kNul},
        ParseCase{"deleted_key_does_not_leak",
                  "\"a\"=\"one\"\n[-HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"two\"\n", "a",
                  "type 1: one" + kNul}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(RegFileTest, Utf16FilesFromRegeditAreRead) {
    std::string text = "\xFF\xFE";
    for (char c : std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"wide\"\r\n")) {
        text += c;
        text += '\0';
    }
    auto reg = RegFileRegistry::FromText(text);
    EXPECT_EQ(Query(*reg, "K", "a"), "type 1: wide" + kNul);
}

TEST(RegFileTest, AShortBufferIsToldTheSizeNeededAndClosedHandlesAreRefused) {
    auto reg = RegFileRegistry::FromText("[HKLM\\A\\K]\n\"a\"=\"12345\"\n");
    HKEY a = 0, h = 0;
    ASSERT_EQ(reg->RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, a), ERROR_SUCCESS);
    ASSERT_EQ(reg->RegOpenKeyExA(a, "k", 0, KEY_READ, h), ERROR_SUCCESS);
    uint32_t type = 0, cb = 3;
    uint8_t buf[16] = {};
    EXPECT_EQ(reg->RegQueryValueExA(h, "a", type, buf, cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 6u);
    EXPECT_EQ(reg->RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(reg->RegCloseKey(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg->RegQueryValueExA(h, "a", type, buf, cb), ERROR_INVALID_HANDLE);
    reg->RegCloseKey(a);
    EXPECT_EQ(reg->OpenKeyCount(), 0u);
}

// ---- Starting a program detached: it runs on its own, in its own session, and leaves no child
// behind.

TEST(PosixLauncherTest, StartsAProgramInItsOwnSessionWithoutAZombie) {
    test::TempDir dir;
    // A descriptor without close-on-exec, as a host might hold: it must not reach the program.
    const int leak = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leak, 0);
    const std::string leakCheck =
        "if [ -e /proc/$$/fd/" + std::to_string(leak) + " ]; then in=leaked; fi\n";
    // The check runs after stdin's name is read and replaces it when the descriptor leaked.
    WriteMarkScript(dir / "prog", dir / "mark", leakCheck);
    PosixLauncher launcher;
    ASSERT_TRUE(launcher.StartDetached(dir / "prog")) << launcher.LastError();
    EXPECT_EQ(launcher.LastError(), 0);
    // The intermediate process is reaped already; the program is nobody's child here.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ::close(leak);

    ASSERT_TRUE(WaitForFile(dir / "mark"));
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
