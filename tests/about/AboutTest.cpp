// The About box: texts, version label, GetKeyValue and StartSysInfo, and its opening.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "about/frmAbout.h"
#include "platform/headless/HeadlessHost.h"
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/RegFile.h"
#include "tests/about/AboutSupport.h"
#include "tests/support/HeadlessControl.h"

namespace folioray {
namespace {

constexpr const char* kUnavailable = "System Information Is Unavailable At This Time";

TEST(AboutTextsTest, CaptionsAndDescriptions) {
    HeadlessHost host;
    frmAbout box(host, nullptr);
    EXPECT_EQ(box.Caption(), "About Folioray ActiveX Control");
    EXPECT_EQ(box.lblTitle(), "Folioray Version II ActiveX Control");
    EXPECT_EQ(box.lblDescription(),
              "This ActiveX Control allows provides in Web-Page scanning through a TWAIN "
              "interface. The control acquires an image, compresses it according to  JPEG "
              "standards and saves the compressed image in a file called scanx.jpg or "
              "scanx.pdf. It can optionally be instructed to paste the filename to the "
              "hosting window or FTP it to an FTP Server.");
    EXPECT_EQ(box.lblDescription1(),
              "The control can also be used to provide a text input box that accepts pasted "
              "or typed text. In this mode, the Scan button is replaced with a Done button. "
              "When clicking the Done button, the text is saved to a file and the ScanComplete "
              "event generated. This allows you to use the control in general purpose "
              "communications applications because it can handle both scanned documents and "
              "pasted text communications (such as e-mails) in a consistent manner.");
    EXPECT_NE(box.lblDisclaimer().find("Brackenmoor (Pty) Ltd"), std::string::npos);
    EXPECT_NE(box.lblDisclaimer().find('@'), std::string::npos);
    EXPECT_EQ(box.cmdOKCaption(), "OK");
    EXPECT_EQ(box.cmdSysInfoCaption(), "System &Info...");
}

TEST(AboutTextsTest, VersionLabelIsSetOnLoad) {
    HeadlessHost host;
    frmAbout box(host, nullptr);
    EXPECT_EQ(box.lblVersion(), "Version");
    box.Form_Load();
    EXPECT_EQ(box.lblVersion(),
              VersionText(FOLIORAY_VERSION_MAJOR, FOLIORAY_VERSION_MINOR, FOLIORAY_VERSION_PATCH));
}

TEST(AboutTextsTest, VersionNumbersArePlainDecimal) {
    EXPECT_EQ(VersionText(1, 0, 22), "Version 1.0.22");
    EXPECT_EQ(VersionText(10, 5, 100), "Version 10.5.100");
    EXPECT_EQ(VersionText(2, 0, 0), "Version 2.0.0");
}

TEST(AboutTextsTest, OkHidesTheBox) {
    HeadlessHost host;
    frmAbout box(host, nullptr);
    box.Show();
    EXPECT_TRUE(box.Visible());
    box.cmdOK_Click();
    EXPECT_FALSE(box.Visible());
}

// ---- GetKeyValue

std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

const std::string kRegistry =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
    "\"Text\"=\"hello world\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "\"Number\"=dword:0000002a\r\n"
    "\"Big\"=dword:ffffffff\r\n"
    "\"TwoBytes\"=dword:00000201\r\n"
    "\"Zero\"=dword:00000000\r\n"
    "\"Binary\"=hex:01,02,03\r\n"
    "\"Expand\"=hex(2):41,00\r\n"
    "@=\"the default\"\r\n"
    "\"Fits\"=\"" +
    Repeat('f', 1023) +
    "\"\r\n"
    "\"TooLong\"=\"" +
    Repeat('t', 1024) + "\"\r\n";

struct KeyCase {
    const char* name;
    uint32_t root;
    const char* key;
    const char* value;
    bool ok;
    std::string expect;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class GetKeyValueTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(GetKeyValueTest, ReadsTheValueAndClosesTheKey) {
    const KeyCase& c = GetParam();
    HeadlessHost host;
    auto reg = RegFileRegistry::FromText(kRegistry);
    frmAbout box(host, reg.get());
    std::string val = "as passed";
    EXPECT_EQ(box.GetKeyValue(c.root, c.key, c.value, val), c.ok);
    EXPECT_EQ(val, c.expect);
    EXPECT_EQ(reg->OpenKeyCount(), 0u);  // closed on every way out
}

constexpr uint32_t HKLM = HKEY_LOCAL_MACHINE;
INSTANTIATE_TEST_SUITE_P(
    Cases, GetKeyValueTest,
    ::testing::Values(
        KeyCase{"Text", HKLM, "SOFTWARE\\Test", "Text", true, "hello world"},
        KeyCase{"NamesIgnoreCase", HKLM, "software\\TEST", "TEXT", true, "hello world"},
        KeyCase{"EmptyText", HKLM, "SOFTWARE\\Test", "Empty", true, ""},
        KeyCase{"DwordAsDecimal", HKLM, "SOFTWARE\\Test", "Number", true, "42"},
        KeyCase{"DwordAllOnes", HKLM, "SOFTWARE\\Test", "Big", true, "4294967295"},
        KeyCase{"DwordBytesInOrder", HKLM, "SOFTWARE\\Test", "TwoBytes", true, "513"},
        KeyCase{"DwordZero", HKLM, "SOFTWARE\\Test", "Zero", true, "0"},
        KeyCase{"OtherTypeLeavesTheText", HKLM, "SOFTWARE\\Test", "Binary", true, "as passed"},
        KeyCase{"ExpandStringLeavesTheText", HKLM, "SOFTWARE\\Test", "Expand", true, "as passed"},
        KeyCase{"DefaultValue", HKLM, "SOFTWARE\\Test", "", true, "the default"},
        KeyCase{"ExactlyTheBuffer", HKLM, "SOFTWARE\\Test", "Fits", true, Repeat('f', 1023)},
        KeyCase{"OverTheBufferIsAbsent", HKLM, "SOFTWARE\\Test", "TooLong", false, ""},
        KeyCase{"MissingValue", HKLM, "SOFTWARE\\Test", "Nothing", false, ""},
        KeyCase{"MissingKey", HKLM, "SOFTWARE\\Nothing", "Text", false, ""},
        KeyCase{"OtherRoot", HKEY_CURRENT_USER, "SOFTWARE\\Test", "Text", false, ""},
        KeyCase{"BadRoot", 0x12345678u, "SOFTWARE\\Test", "Text", false, ""}),
    [](const auto& tp) { return std::string(tp.param.name); });

TEST(GetKeyValueNoRegistryTest, APlatformWithoutRegistryFindsNothing) {
    HeadlessHost host;
    frmAbout box(host, nullptr);
    std::string val = "x";
    EXPECT_FALSE(box.GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE", "a", val));
    EXPECT_EQ(val, "");
}

// ---- StartSysInfo with a real registry file and real programs.

class StartSysInfoTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    HeadlessHost host;
    PosixLauncher launcher;
    std::unique_ptr<RegFileRegistry> reg;

    std::string Mark() const { return dir / "ran"; }
    // A registry with the first value and/or the second key (each skipped when empty).
    void Registry(const std::string& pathValue, const std::string& folderValue) {
        std::string text = "REGEDIT4\n\n";
        if (!pathValue.empty()) {
            text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"PATH\"=" +
                    pathValue + "\n";
        }
        if (!folderValue.empty()) {
            text +=
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n"
                "\"MSINFO\"=" +
                folderValue + "\n";
        }
        test::WriteFile(dir / "registry.reg", text);
        reg = std::make_unique<RegFileRegistry>(dir / "registry.reg");
        ASSERT_EQ(reg->LoadError(), "");
    }
    void Run(Launcher* l) {
        frmAbout box(host, reg.get(), l);
        box.Form_Load();
        box.Show();
        box.cmdSysInfo_Click();
        EXPECT_TRUE(box.Visible());  // the box stays open either way
        EXPECT_EQ(reg->OpenKeyCount(), 0u);
    }
    void ExpectUnavailable() {
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].prompt, kUnavailable);
        EXPECT_EQ(host.messages[0].title, "Folioray2");
        EXPECT_EQ(host.messages[0].icon, MsgBoxIcon::None);
    }
};

TEST_F(StartSysInfoTest, TheNamedProgramIsStarted) {
    test::WriteMarkScript(dir / "sysinfo", Mark());
    test::WriteMarkScript(dir / "MSINFO32.EXE", Mark());
    const std::pair<std::string, std::string> entries[] = {
        {test::RegString(dir / "sysinfo"), ""},  // the first value alone
        {"", test::RegString(dir.path())},       // the second key names the program's folder
        {test::RegString(dir / "sysinfo"), test::RegString("/nonexistent")},  // first wins
    };
    for (const auto& [first, second] : entries) {
        SCOPED_TRACE(first + " / " + second);
        ::unlink(Mark().c_str());
        Registry(first, second);
        Run(&launcher);
        EXPECT_TRUE(host.messages.empty());
        EXPECT_TRUE(test::WaitForFile(Mark()));
    }
}

TEST_F(StartSysInfoTest, EntriesNamingNoRunnableProgramAreUnavailable) {
    ASSERT_EQ(::mkdir((dir / "empty").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir / "MSINFO32.EXE").c_str(), 0755), 0);  // a folder, not the program
    test::WriteFile(dir / "not-executable", "#!/bin/sh\ntouch '" + Mark() + "'\n");
    const std::pair<std::string, std::string> entries[] = {
        {"", test::RegString(dir / "empty")},  // the folder lacks the program
        {"", test::RegString(dir.path())},
        {"", ""},
        {"dword:0000002a", ""},  // tried as a program called "42"
        {test::RegString(dir / "missing"), ""},
        {test::RegString(dir / "not-executable"), ""},
        {test::RegString(dir.path()), ""},
    };
    for (const auto& [first, second] : entries) {
        SCOPED_TRACE(first + " / " + second);
        host.messages.clear();
        Registry(first, second);
        Run(&launcher);
        ExpectUnavailable();
    }
    EXPECT_FALSE(test::Exists(Mark()));
}

TEST_F(StartSysInfoTest, NoLauncherIsUnavailable) {
    test::WriteMarkScript(dir / "sysinfo", Mark());
    Registry(test::RegString(dir / "sysinfo"), "");
    Run(nullptr);
    ExpectUnavailable();
}

TEST_F(StartSysInfoTest, NoRegistryIsUnavailable) {
    frmAbout box(host, nullptr, &launcher);
    box.cmdSysInfo_Click();
    ExpectUnavailable();
}

// ---- Opening the box from the control.

TEST(AboutCommandTest, ShowsTheLoadedBoxModallyThenFocusesThePreview) {
    test::TempDir dir;
    test::WriteMarkScript(dir / "sysinfo", dir / "ran");
    test::WriteFile(dir / "r.reg",
                    "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                    "\"PATH\"=" +
                        test::RegString(dir / "sysinfo") + "\n");
    RegFileRegistry reg(dir / "r.reg");
    PosixLauncher launcher;
    test::HeadlessControl hc(false);
    hc.ports.registry = &reg;
    hc.ports.launcher = &launcher;
    hc.Create();

    int seen = 0;
    hc.host.onAbout = [&](frmAbout& box) {
        ++seen;
        EXPECT_TRUE(box.Visible());
        EXPECT_EQ(box.lblVersion(), VersionText(FOLIORAY_VERSION_MAJOR, FOLIORAY_VERSION_MINOR,
                                                FOLIORAY_VERSION_PATCH));
        EXPECT_EQ(hc.preview.focusCount, 0);  // focus moves only after the box is closed
        box.cmdSysInfo_Click();
        box.cmdOK_Click();
    };
    hc->Command5_Click();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(hc.preview.focusCount, 1);
    EXPECT_TRUE(hc.host.messages.empty());
    EXPECT_TRUE(test::WaitForFile(dir / "ran"));
}

}  // namespace
}  // namespace folioray
