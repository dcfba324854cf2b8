#include "platform/headless/HeadlessHost.h"

#include <chrono>
#include <thread>

#include "ports/KeyMessages.h"

namespace folioray {

const char* IconName(MsgBoxIcon icon) {
    switch (icon) {
        case MsgBoxIcon::Critical:
            return "stop";
        case MsgBoxIcon::Question:
            return "question";
        case MsgBoxIcon::Exclamation:
            return "exclamation";
        case MsgBoxIcon::Information:
            return "information";
        default:
            return "none";
    }
}

void HeadlessHost::MsgBox(const std::string& prompt, const std::string& title, MsgBoxIcon icon) {
    messages.push_back({prompt, title, icon});
    if (onMessage) onMessage(messages.back());
}

void HeadlessHost::SetMousePointer(MousePointer p) {
    pointer = p;
    pointerHistory.push_back(p);
}

void HeadlessHost::DoEvents() {
    ++doEvents;
    // Posted key messages reach the focused field when the thread pumps its queue.
    std::vector<Posted> pending;
    pending.swap(queue_);
    for (const Posted& m : pending) Deliver(m);
    if (onDoEvents) onDoEvents();
}

bool HeadlessHost::PostMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) {
    if (!hasContainerWindow) return false;
    posted.push_back({msg, wParam, lParam});
    queue_.push_back({msg, wParam, lParam});
    return true;
}

void HeadlessHost::Deliver(const Posted& m) {
    if (m.msg == WM_KEYDOWN && m.wParam == VK_END) {
        field.caret = field.text.size();
    } else if (m.msg == WM_KEYDOWN && m.wParam == VK_BACK) {
        if (field.caret > 0) {
            field.text.erase(field.caret - 1, 1);
            --field.caret;
        }
    } else if (m.msg == WM_CHAR && m.wParam >= 0x20 && m.wParam < 0x7F) {
        field.text.insert(field.caret, 1, static_cast<char>(m.wParam));
        ++field.caret;
    }
}

void HeadlessHost::SetTimer(bool enabled, uint32_t intervalMs) {
    timerEnabled = enabled;
    timerInterval = intervalMs;
}

void HeadlessHost::RunTimers(bool sleep, int maxTicks) {
    for (int i = 0; i < maxTicks && timerEnabled; ++i) {
        if (sleep) std::this_thread::sleep_for(std::chrono::milliseconds(timerInterval));
        if (onTimer) {
            onTimer();
        } else {
            timerEnabled = false;
        }
    }
    DoEvents();  // deliver what the last tick posted
}

void HeadlessHost::PopupMenu(const std::string& menuName, float, float) {
    popups.push_back(menuName);
    if (onPopup) onPopup(menuName);
}

void HeadlessHost::ShowDetailView(const Picture& picture, float w, float h) {
    ++detailViews;
    detailPicture = picture;
    detailWidth = w;
    detailHeight = h;
}

void HeadlessHost::ShowAbout(AboutForm& about) {
    ++aboutBoxes;
    if (onAbout) onAbout(about);
}

}  // namespace folioray
