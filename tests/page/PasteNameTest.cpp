// PasteName: the path on the clipboard, then typed into the host's focused field.
#include <gtest/gtest.h>

#include <string>

#include "page/PostKeys.h"
#include "tests/support/HeadlessControl.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

using test::HeadlessControl;

// Gives the control a working-file name of our choosing: the text store hands the event
// its current name by reference.
void SetCurrentName(HeadlessControl& hc, const test::TempDir& dir, const std::string& name) {
    hc->FilePath(dir.path());
    const int32_t mode = hc->ControlMode();
    hc->ControlMode(1);
    auto saved = hc->ScanComplete;
    hc->ScanComplete = [&](std::string& n) { n = name; };
    hc->StartScan();
    hc->ScanComplete = saved;
    hc->ControlMode(mode);
    ASSERT_EQ(hc->CurrentName(), name);
}

size_t CountPosted(const HeadlessHost& host, uint32_t msg, uint32_t wParam) {
    size_t n = 0;
    for (const auto& m : host.posted) n += (m.msg == msg && m.wParam == wParam);
    return n;
}

class PasteNameTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    HeadlessControl hc;
};

TEST_F(PasteNameTest, TypesTheWholePathInLowerCase) {
    SetCurrentName(hc, dir, "C:\\Work\\Scans2024\\SCANX.JPG");
    hc.host.field.text = "old value";
    hc->PasteName();
    EXPECT_EQ(hc.clipboard.GetText(), "C:\\Work\\Scans2024\\SCANX.JPG");
    EXPECT_TRUE(hc.host.timerEnabled);
    EXPECT_EQ(hc.host.timerInterval, 100u);
    EXPECT_TRUE(hc[Child::Timer1].enabled);
    EXPECT_TRUE(hc.host.posted.empty());  // nothing before the tick

    hc.host.RunTimers(false);
    EXPECT_EQ(hc.host.field.text, "c:\\work\\scans2024\\scanx.jpg");
    EXPECT_FALSE(hc.host.timerEnabled);
    EXPECT_FALSE(hc[Child::Timer1].enabled);
}

TEST_F(PasteNameTest, PostsEndHundredBackspacesThenCharacters) {
    SetCurrentName(hc, dir, "/a.b");
    hc->PasteName();
    hc.host.RunTimers(false);
    const auto& p = hc.host.posted;
    ASSERT_EQ(p.size(), 2u + 200u + 4u);
    EXPECT_EQ(p[0].msg, WM_KEYDOWN);
    EXPECT_EQ(p[0].wParam, VK_END);
    EXPECT_EQ(p[0].lParam, 0x004F0001u);
    EXPECT_EQ(p[1].msg, WM_KEYUP);
    EXPECT_EQ(p[1].wParam, VK_END);
    EXPECT_EQ(p[1].lParam, 0xC04F0001u);
    for (size_t i = 2; i < 202; i += 2) {
        EXPECT_EQ(p[i].msg, WM_KEYDOWN);
        EXPECT_EQ(p[i].wParam, VK_BACK);
        EXPECT_EQ(p[i].lParam, 0x000E0001u);
        EXPECT_EQ(p[i + 1].msg, WM_KEYUP);
        EXPECT_EQ(p[i + 1].wParam, VK_BACK);
        EXPECT_EQ(p[i + 1].lParam, 0xC00E0001u);
    }
    const uint32_t chars[][2] = {
        {'/', 0x00350001}, {'a', 0x001E0001}, {'.', 0x00340001}, {'b', 0x00300001}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(p[202 + i].msg, WM_CHAR);
        EXPECT_EQ(p[202 + i].wParam, chars[i][0]);
        EXPECT_EQ(p[202 + i].lParam, chars[i][1]);
    }
}

TEST_F(PasteNameTest, UnmappedCharactersAreDroppedButTheClipboardKeepsThem) {
    const std::string name = "/home/Jo Smith/~scan_x-1.jpg";
    SetCurrentName(hc, dir, name);
    hc->PasteName();
    hc.host.RunTimers(false);
    EXPECT_EQ(hc.host.field.text, "/home/josmith/scanx1.jpg");
    EXPECT_EQ(hc.clipboard.GetText(), name);
}

TEST_F(PasteNameTest, EmptyPathErasesAndTypesNothing) {
    hc.host.field.text = "something";
    hc->PasteName();
    EXPECT_EQ(hc.clipboard.GetText(), "");
    hc.host.RunTimers(false);
    EXPECT_EQ(hc.host.field.text, "");
    EXPECT_EQ(CountPosted(hc.host, WM_KEYDOWN, VK_END), 1u);
    EXPECT_EQ(CountPosted(hc.host, WM_KEYDOWN, VK_BACK), 100u);
    EXPECT_EQ(hc.host.posted.size(), 202u);
}

TEST_F(PasteNameTest, ALongFieldKeepsItsHead) {
    SetCurrentName(hc, dir, "/x.jpg");
    const std::string head(30, 'h');
    hc.host.field.text = head + std::string(100, 't');
    hc.host.field.caret = 3;  // End moves the caret first
    hc->PasteName();
    hc.host.RunTimers(false);
    EXPECT_EQ(hc.host.field.text, head + "/x.jpg");
}

TEST_F(PasteNameTest, TwoCallsWithinTheIntervalTypeOnce) {
    SetCurrentName(hc, dir, "/p.txt");
    hc->PasteName();
    hc->PasteName();
    hc.host.RunTimers(false);
    EXPECT_EQ(hc.host.field.text, "/p.txt");
    EXPECT_EQ(CountPosted(hc.host, WM_KEYDOWN, VK_END), 1u);
}

// A PasteName from a handler that runs while the tick pumps messages re-arms the timer;
// should the timer fire inside that pump, the path must still end up in the field once.
TEST_F(PasteNameTest, ATickInsideTheTypingPauseDoesNotTypeTwice) {
    SetCurrentName(hc, dir, "/q.txt");
    bool fired = false;
    hc.host.onDoEvents = [&] {
        if (fired) return;
        fired = true;
        hc->PasteName();
        hc->Timer1_Timer();  // the timer's tick delivered by the pump
    };
    hc->PasteName();
    hc.host.RunTimers(false);
    EXPECT_TRUE(fired);
    EXPECT_EQ(hc.host.field.text, "/q.txt");
    EXPECT_FALSE(hc.host.timerEnabled);
}

// The tick reads the name when it runs, not when PasteName was called.
TEST_F(PasteNameTest, TypesTheNameAsItIsAtTheTick) {
    SetCurrentName(hc, dir, "/first.txt");
    hc->PasteName();
    SetCurrentName(hc, dir, "/second.txt");
    hc.host.RunTimers(false);
    EXPECT_EQ(hc.host.field.text, "/second.txt");
    EXPECT_EQ(hc.clipboard.GetText(), "/first.txt");
}

TEST_F(PasteNameTest, PastingTheNameReplacesAPictureOnTheClipboard) {
    hc.clipboard.SetDib({1, 2, 3});
    hc->PasteName();
    EXPECT_FALSE(hc.clipboard.GetDib().has_value());
}

TEST(PasteNameNoPortsTest, NoContainerWindowOrClipboardIsNoFailure) {
    HeadlessControl hc(false);
    hc.ports.clipboard = nullptr;
    hc.Create();
    hc.host.hasContainerWindow = false;
    hc->PasteName();
    EXPECT_TRUE(hc.host.timerEnabled);  // the timer is armed all the same
    hc.host.RunTimers(false);
    EXPECT_TRUE(hc.host.posted.empty());
    EXPECT_FALSE(hc.host.timerEnabled);
}

}  // namespace
}  // namespace folioray
