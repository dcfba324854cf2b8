// The About box: registry reads, System Information, and its opening from the control.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <ostream>

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

const std::string kRegistry =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n"
    "\"Text\"=\"hello world\"\r\n"
    "\"TwoBytes\"=dword:00000201\r\n"
    "\"Big\"=dword:ffffffff\r\n"
    "\"Binary\"=hex:01,02,03\r\n"
    "@=\"the default\"\r\n"
    "\"Fits\"=\"" +
    std::string(1023, 'f') + "\"\r\n\"TooLong\"=\"" + std::string(1024, 't') + "\"\r\n";

struct KeyCase {
    const char* name;
    const char* key;
    const char* value;
    bool found;
    std::string text;
    friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
};

class GetKeyValueTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(GetKeyValueTest, GivesTheValueAsTextAndClosesTheKey) {
    const KeyCase& c = GetParam();
    HeadlessHost host;
    auto reg = RegFileRegistry::FromText(kRegistry);
    frmAbout box(host, reg.get());
    std::string val = "as passed";
    EXPECT_EQ(box.GetKeyValue(HKEY_LOCAL_MACHINE, c.key, c.value, val), c.found);
    EXPECT_EQ(val, c.text);
    EXPECT_EQ(reg->OpenKeyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetKeyValueTest,
    ::testing::Values(
        KeyCase{"text_in_any_case", "software\\TEST", "TEXT", true, "hello world"},
        KeyCase{"dword_bytes_in_order", "SOFTWARE\\Test", "TwoBytes", true, "513"},
        KeyCase{"dword_unsigned", "SOFTWARE\\Test", "Big", true, "4294967295"},
        KeyCase{"other_type_leaves_text", "SOFTWARE\\Test", "Binary", true, "as passed"},
        KeyCase{"default_value", "SOFTWARE\\Test", "", true, "the default"},
        KeyCase{"exactly_the_buffer", "SOFTWARE\\Test", "Fits", true, std::string(1023, 'f')},
        KeyCase{"over_the_buffer", "SOFTWARE\\Test", "TooLong", false, ""},
        KeyCase{"missing_key", "SOFTWARE\\Nothing", "Text", false, ""}),
    [](const auto& tp) { return std::string(tp.param.name); });

// Entries naming no runnable program: the program's own entry and/or the folder entry,
// each left out when empty.
TEST(StartSysInfoTest, EntriesNamingNoRunnableProgramSayItIsUnavailable) {
    test::TempDir dir;
    HeadlessHost host;
    PosixLauncher launcher;
    const std::string mark = dir / "ran";
    ASSERT_EQ(::mkdir((dir / "empty").c_str(), 0755), 0);
    test::WriteFile(dir / "not-executable", "#!/bin/sh\ntouch '" + mark + "'\n");
    const std::pair<std::string, std::string> entries[] = {
        {"", test::RegString(dir / "empty")},
        {"", ""},
        {"dword:0000002a", ""},
        {test::RegString(dir / "not-executable"), ""},
        {test::RegString(dir.path()), ""},
    };
    for (const auto& [path, folder] : entries) {
        SCOPED_TRACE(path + " / " + folder);
        std::string text = "REGEDIT4\n\n";
        if (!path.empty()) {
            text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"PATH\"=" +
                    path + "\n";
        }
        if (!folder.empty()) {
            text +=
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n\"MSINFO\"=" +
                folder + "\n";
        }
        auto reg = RegFileRegistry::FromText(text);
        host.messages.clear();
        frmAbout box(host, reg.get(), &launcher);
        box.Show();
        box.cmdSysInfo_Click();
        EXPECT_TRUE(box.Visible());
        EXPECT_EQ(reg->OpenKeyCount(), 0u);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].prompt, "System Information Is Unavailable At This Time");
        EXPECT_EQ(host.messages[0].title, "Folioray2");
    }
    EXPECT_FALSE(test::Exists(mark));
}

TEST(AboutCommandTest, TheBoxIsShownModallyThenThePreviewGetsTheFocus) {
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
    EXPECT_TRUE(test::WaitForFile(dir / "ran"));
}

}  // namespace
}  // namespace folioray
