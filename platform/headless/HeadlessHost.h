#pragma once
// A container without a screen: for the command-line host and the tests. Message boxes
// are recorded (and reported through a callback), the container window is a text field
// that takes posted key messages, and Timer1 runs when the host is told to run timers.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ports/Host.h"
#include "ports/Picture.h"

namespace folioray {

struct RecordedMessage {
    std::string prompt;
    std::string title;
    MsgBoxIcon icon;
};

const char* IconName(MsgBoxIcon icon);

class HeadlessHost : public Host {
  public:
    void MsgBox(const std::string& prompt, const std::string& title, MsgBoxIcon icon) override;
    void SetMousePointer(MousePointer pointer) override;
    void Beep() override { ++beeps; }
    void DoEvents() override;
    float TwipsPerPixelX() override { return tpx; }
    float TwipsPerPixelY() override { return tpy; }
    void ExtentChanged(float w, float h) override {
        extentWidth = w;
        extentHeight = h;
    }
    void ChildChanged(const std::string& name) override {
        if (onChildChanged) onChildChanged(name);
    }
    void SetFocus(const std::string& name) override { focused = name; }
    void Refresh(const std::string& name) override { ++refreshes[name]; }
    bool PostMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) override;
    void SetTimer(bool enabled, uint32_t intervalMs) override;
    void PopupMenu(const std::string& menuName, float x, float y) override;
    void ShowDetailView(const Picture& picture, float w, float h) override;
    void ShowAbout(AboutForm& about) override;

    // Fires Timer1 while it stays armed (after its interval, without sleeping when
    // `sleep` is false); a bounded number of ticks.
    void RunTimers(bool sleep = true, int maxTicks = 16);

    // The container window's focused field, which posted key messages edit.
    struct Field {
        std::string text;
        size_t caret = 0;
    };
    Field field;
    bool hasContainerWindow = true;

    float tpx = 15.0f;
    float tpy = 15.0f;
    float extentWidth = 0;
    float extentHeight = 0;
    std::vector<RecordedMessage> messages;
    MousePointer pointer = MousePointer::Default;
    std::vector<MousePointer> pointerHistory;
    int beeps = 0;
    int doEvents = 0;
    std::string focused;
    std::map<std::string, int> refreshes;
    bool timerEnabled = false;
    uint32_t timerInterval = 0;
    std::vector<std::string> popups;  // menus popped up
    int detailViews = 0;
    float detailWidth = 0, detailHeight = 0;
    Picture detailPicture;  // what the last detail view showed
    int aboutBoxes = 0;

    struct Posted {
        uint32_t msg, wParam, lParam;
    };
    std::vector<Posted> posted;  // every message ever posted, in order

    std::function<void(const RecordedMessage&)> onMessage;
    std::function<void(const std::string&)> onChildChanged;
    std::function<void()> onTimer;                    // calls ScanControl::Timer1_Timer
    std::function<void()> onDoEvents;                 // extra work a test wants run at a pump point
    std::function<void(const std::string&)> onPopup;  // a test may choose a menu item
    std::function<void(AboutForm&)> onAbout;

  private:
    std::vector<Posted> queue_;  // posted, not yet delivered to the field
    void Deliver(const Posted& m);
};

}  // namespace folioray
