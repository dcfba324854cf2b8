// PasteName: the working file's path to the clipboard, then typed into the host window.
#include <chrono>
#include <thread>

#include "control/ScanControlState.h"
#include "page/PostKeys.h"
#include "ports/Clipboard.h"
#include "ports/Host.h"
#include "runtime/ScopedFlag.h"

namespace folioray {

namespace {

constexpr int kBackspaces = 100;

// Lets the posted keys be handled before the characters follow: pumps until the wall
// clock's whole second has moved past now + 0.5 s. The monotonic bound keeps a clock set
// backwards from stalling the host's thread.
void PauseForHost(Host& host) {
    using namespace std::chrono;
    const auto wholeSecond = [] { return floor<seconds>(system_clock::now()); };
    const auto until = wholeSecond() + milliseconds(500);
    const auto deadline = steady_clock::now() + milliseconds(1200);
    while (wholeSecond() <= until && steady_clock::now() < deadline) {
        host.DoEvents();
        std::this_thread::sleep_for(milliseconds(5));
    }
}

}  // namespace

void ScanControl::PasteName() {
    try {
        if (s_->ports_.clipboard) {
            s_->ports_.clipboard->Clear();
            s_->ports_.clipboard->SetText(s_->mCurrentName);
        }
    } catch (...) {
        // A clipboard another program holds open: the typing still happens.
    }
    try {
        s_->kids_.SetEnabled(Child::Timer1, true);
        s_->ports_.host->SetTimer(true, s_->kids_[Child::Timer1].interval);
    } catch (...) {
    }
}

void ScanControl::Timer1_Timer() {
    // A tick that fires while a typing run pumps messages waits for the next tick:
    // running it inside would type the path twice.
    if (s_->typing_) return;
    const ScopedFlag typing(s_->typing_);

    Host& host = *s_->ports_.host;
    auto post = [&](uint32_t msg, uint32_t wParam, uint32_t lParam) {
        try {
            host.PostMessage(msg, wParam, lParam);
        } catch (...) {
        }
    };
    try {
        s_->kids_.SetEnabled(Child::Timer1, false);
        host.SetTimer(false, s_->kids_[Child::Timer1].interval);
    } catch (...) {
    }

    post(WM_KEYDOWN, VK_END, KeyLParam(kScanEnd, false));
    post(WM_KEYUP, VK_END, KeyLParam(kScanEnd, true));
    for (int i = 0; i < kBackspaces; ++i) {
        post(WM_KEYDOWN, VK_BACK, KeyLParam(kScanBack, false));
        post(WM_KEYUP, VK_BACK, KeyLParam(kScanBack, true));
    }

    try {
        PauseForHost(host);
    } catch (...) {
    }

    // The path as it is now: a store during the pause is typed under its new name.
    const std::string path = s_->mCurrentName;
    for (char c : path) {
        uint32_t code = 0, lParam = 0;
        MapCharToKey(c, code, lParam);
        if (code != 0 && lParam != 0) post(WM_CHAR, code, lParam);
    }
}

}  // namespace folioray
