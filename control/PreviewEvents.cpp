// The preview's events: context menu, detail view, errors.
#include "control/ScanControlState.h"
#include "ports/Host.h"
#include "ports/Preview.h"

namespace folioray {

void ScanControl::Image1_PreviewError(int32_t& number, int32_t) {
    s_->err_.Set(number);
}

void ScanControl::Image1_PreviewActivated() {
    try {
        DetailView();
    } catch (...) {
    }
}

void ScanControl::Image1_PreviewMouseButton(int16_t& button, int16_t, float x, float y) {
    try {
        // The right button wins when both are down.
        if (button & 2) {
            s_->ports_.host->PopupMenu("MenuPaste", x, y);
        } else if (button & 1) {
            DetailView();
        }
    } catch (...) {
    }
}

void ScanControl::DetailView() {
    if (s_->mImageInfo.empty()) return;  // no image yet
    float pw = 0, ph = 0;
    s_->err_.Step([&] {
        pw = static_cast<float>(s_->image2_.width) * s_->ports_.host->TwipsPerPixelX();
        ph = static_cast<float>(s_->image2_.height) * s_->ports_.host->TwipsPerPixelY();
    });
    Picture shown;
    s_->err_.Step([&] {
        if (s_->ports_.preview) shown = s_->ports_.preview->PreviewPicture();
    });
    // Modal: returns when the user has closed the window, which is then gone.
    s_->err_.Step([&] { s_->ports_.host->ShowDetailView(shown, pw, ph); });
}

}  // namespace folioray
