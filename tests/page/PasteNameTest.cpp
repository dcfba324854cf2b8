// The path goes on the clipboard, then is typed into the host's focused field.
#include <gtest/gtest.h>

#include <string>

#include "page/PostKeys.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

class PasteNameTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::HeadlessControl hc;

    // The text store hands the event the working-file name by reference.
    void SetCurrentName(const std::string& name) {
        hc->FilePath(dir.path());
        hc->ControlMode(1);
        hc->ScanComplete = [&](std::string& n) { n = name; };
        hc->StartScan();
        hc->ScanComplete = nullptr;
        hc->ControlMode(0);
        ASSERT_EQ(hc->CurrentName(), name);
    }
    std::string TypedAtTheTick() {
        hc.host.RunTimers(false);
        return hc.host.field.text;
    }
};

TEST_F(PasteNameTest, ThePathReplacesTheFieldInLowerCaseAtTheNextTick) {
    SetCurrentName("C:\\Work\\Scans2024\\SCANX.JPG");
    hc.host.field.text = "old value";
    hc->PasteName();
    EXPECT_EQ(hc.clipboard.GetText(), "C:\\Work\\Scans2024\\SCANX.JPG");
    EXPECT_EQ(hc.host.timerInterval, 100u);
    EXPECT_TRUE(hc.host.posted.empty());
    EXPECT_EQ(TypedAtTheTick(), "c:\\work\\scans2024\\scanx.jpg");
    EXPECT_FALSE(hc.host.timerEnabled);
}

TEST_F(PasteNameTest, KeysCarryTheirScanCodesAndUnmappedCharactersAreDropped) {
    const std::string name = "/Jo Smith/~abcdefghijklmnopqrstuvwxyz0123456789:.\\_-";
    SetCurrentName(name);
    hc->PasteName();
    EXPECT_EQ(TypedAtTheTick(), "/josmith/abcdefghijklmnopqrstuvwxyz0123456789:.\\");
    EXPECT_EQ(hc.clipboard.GetText(), name);

    // End, then a hundred backspaces as key-down and key-up pairs, then a character each.
    const auto& p = hc.host.posted;
    ASSERT_EQ(p.size(), 202u + 48u);
    EXPECT_EQ(p[0].lParam, 0x004F0001u);  // End, with its scan code
    EXPECT_EQ(p[201].wParam, VK_BACK);
    EXPECT_EQ(p[201].lParam, 0xC00E0001u);  // key up
    EXPECT_EQ(p[202].msg, WM_CHAR);
    EXPECT_EQ(p[202].lParam, 0x00350001u);  // '/'
}

TEST_F(PasteNameTest, ALongFieldKeepsWhatLiesBeforeTheLastHundredCharacters) {
    SetCurrentName("/x.jpg");
    hc.host.field.text = std::string(30, 'h') + std::string(100, 't');
    hc.host.field.caret = 3;  // End moves the caret first
    hc->PasteName();
    EXPECT_EQ(TypedAtTheTick(), std::string(30, 'h') + "/x.jpg");
}

// A handler run by the typing pause may call PasteName and get a tick of its own.
TEST_F(PasteNameTest, ATickInsideTheTypingPauseDoesNotTypeTwice) {
    SetCurrentName("/q.txt");
    bool fired = false;
    hc.host.onDoEvents = [&] {
        if (fired) return;
        fired = true;
        hc->PasteName();
        hc->Timer1_Timer();
    };
    hc->PasteName();
    EXPECT_EQ(TypedAtTheTick(), "/q.txt");
    EXPECT_TRUE(fired);
}

TEST_F(PasteNameTest, TheNameIsTakenAtTheTickNotAtTheCall) {
    SetCurrentName("/first.txt");
    hc->PasteName();
    SetCurrentName("/second.txt");
    EXPECT_EQ(TypedAtTheTick(), "/second.txt");
}

TEST(PasteNameNoPortsTest, NoContainerWindowOrClipboardIsNoFailure) {
    test::HeadlessControl hc(false);
    hc.ports.clipboard = nullptr;
    hc.Create();
    hc.host.hasContainerWindow = false;
    hc->PasteName();
    hc.host.RunTimers(false);
    EXPECT_TRUE(hc.host.posted.empty());
    EXPECT_FALSE(hc.host.timerEnabled);
}

}  // namespace
}  // namespace folioray
