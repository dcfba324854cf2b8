// The working folder's write test and the text-mode store.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <ostream>

#include <filesystem>

#include "tests/support/HeadlessControl.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

using test::HeadlessControl;
using test::TempDir;

struct FolderCase {
    const char* name;
    std::string (*value)(const TempDir&);
    bool accepted;
    friend void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }
};

class FilePathTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FilePathTest, AcceptsOnlyWritableFolders) {
    const FolderCase& c = GetParam();
    TempDir dir;
    test::WriteFile(dir / "plain", "a file, not a folder");
    HeadlessControl hc;
    const std::string before = hc->FilePath();
    hc->FilePath(c.value(dir));
    if (c.accepted) {
        EXPECT_EQ(hc->FilePath(), dir.path() + "/");
    } else {
        EXPECT_EQ(hc->FilePath(), before);
    }
    EXPECT_FALSE(test::Exists(dir / "scantest.txt"));  // the test file never stays behind
    EXPECT_TRUE(hc.host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, FilePathTest,
    ::testing::Values(
        FolderCase{"Plain", [](const TempDir& d) { return d.path(); }, true},
        FolderCase{"SpacesAround", [](const TempDir& d) { return "  " + d.path() + "   "; }, true},
        FolderCase{"Empty", [](const TempDir&) { return std::string(); }, false},
        FolderCase{"Missing", [](const TempDir& d) { return d / "not-there"; }, false},
        FolderCase{"UnderARegularFile", [](const TempDir& d) { return d / "plain/sub"; }, false}),
    [](const auto& tp) { return std::string(tp.param.name); });

class TextStoreTest : public ::testing::Test {
  protected:
    TempDir dir;
    HeadlessControl hc;
    std::vector<std::string> events;

    void SetUp() override {
        hc->FilePath(dir.path());
        ASSERT_EQ(hc->FilePath(), dir.path() + "/");
        hc->ControlMode(1);
        hc->ScanComplete = [this](std::string& name) { events.push_back(name); };
    }
    std::string TextFile() const { return dir / "scanx.txt"; }
};

TEST_F(TextStoreTest, WritesTheTextWithCrLfAndRaisesTheEvent) {
    hc->SetEditorText("first line\nsecond line\r\nthird");
    hc->StartScan();
    EXPECT_EQ(test::ReadFile(TextFile()), "first line\r\nsecond line\r\nthird\r\n");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], TextFile());
    EXPECT_EQ(hc->CurrentName(), TextFile());
    EXPECT_EQ(hc.host.focused, "Text2");
    EXPECT_EQ(hc->ControlMode(), 1);  // the store leaves mode and text as they are
    EXPECT_EQ(hc[Child::Text2].caption, "first line\nsecond line\r\nthird");
}

TEST_F(TextStoreTest, ALinkPlantedAtTheTextFileIsNotFollowed) {
    const std::string target = dir / "victim";
    test::WriteFile(target, "precious");
    ASSERT_EQ(::symlink(target.c_str(), TextFile().c_str()), 0);
    hc->SetEditorText("new");
    hc->StartScan();
    EXPECT_EQ(test::ReadFile(target), "precious");
    EXPECT_EQ(test::ReadFile(TextFile()), "new\r\n");
}

}  // namespace
}  // namespace folioray
