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

    const auto& p = hc.host.posted;
    ASSERT_EQ(p.size(), 202u + 48u);
    EXPECT_EQ(p[0].msg, WM_KEYDOWN);
    EXPECT_EQ(p[0].lParam, 0x004F0001u);  // End
    EXPECT_EQ(p[1].msg, WM_KEYUP);
    EXPECT_EQ(p[1].lParam, 0xC04F0001u);
    EXPECT_EQ(p[201].wParam, VK_BACK);
    EXPECT_EQ(p[201].lParam, 0xC00E0001u);
    const uint32_t scan[] = {0x35, 0x24, 0x18, 0x1F, 0x32, 0x17, 0x14, 0x23, 0x35, 0x1E,
                             0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25,
                             0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16,
                             0x2F, 0x11, 0x2D, 0x15, 0x2C, 0x0B, 0x02, 0x03, 0x04, 0x05,
                             0x06, 0x07, 0x08, 0x09, 0x0A, 0x27, 0x34, 0x2B};
    for (size_t i = 0; i < std::size(scan); ++i) {
        EXPECT_EQ(p[202 + i].msg, WM_CHAR) << i;
        EXPECT_EQ(p[202 + i].lParam, 0x0001u + (scan[i] << 16)) << i;
    }
}

TEST_F(PasteNameTest, AnEmptyPathOnlyErasesTheField) {
    hc.host.field.text = "something";
    hc->PasteName();
    EXPECT_EQ(TypedAtTheTick(), "");
    EXPECT_EQ(hc.host.posted.size(), 202u);
}

TEST_F(PasteNameTest, ALongFieldKeepsWhatLiesBeforeTheLastHundredCharacters) {
    SetCurrentName("/x.jpg");
    hc.host.field.text = std::string(30, 'h') + std::string(100, 't');
    hc.host.field.caret = 3;  // End moves the caret first
    hc->PasteName();
    EXPECT_EQ(TypedAtTheTick(), std::string(30, 'h') + "/x.jpg");
}

TEST_F(PasteNameTest, TwoCallsWithinTheIntervalTypeOnce) {
    SetCurrentName("/p.txt");
    hc->PasteName();
    hc->PasteName();
    EXPECT_EQ(TypedAtTheTick(), "/p.txt");
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
