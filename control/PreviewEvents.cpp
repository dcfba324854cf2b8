// The preview's events: context menu, detail view, errors.
#include "control/ScanControl.h"
#include "ports/Host.h"
#include "ports/Preview.h"

namespace folioray {

void ScanControl::Image1_PreviewError(int32_t& number, int32_t) {
    err_.Set(number);
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
            ports_.host->PopupMenu("MenuPaste", x, y);
        } else if (button & 1) {
            DetailView();
        }
    } catch (...) {
    }
}

void ScanControl::DetailView() {
    if (mImageInfo.empty()) return;  // no image yet
    float pw = 0, ph = 0;
    err_.Step([&] {
        pw = static_cast<float>(image2_.width) * ports_.host->TwipsPerPixelX();
        ph = static_cast<float>(image2_.height) * ports_.host->TwipsPerPixelY();
    });
    Picture shown;
    err_.Step([&] {
        if (ports_.preview) shown = ports_.preview->PreviewPicture();
    });
    // Modal: returns when the user has closed the window, which is then gone.
    err_.Step([&] { ports_.host->ShowDetailView(shown, pw, ph); });
}

}  // namespace folioray
