// Layout of the children on every resize, and the sizing members.
#include <cmath>

#include "control/ScanControlState.h"
#include "ports/Host.h"
#include "runtime/Format.h"

namespace folioray {

void ScanControl::Resize(float widthTwips, float heightTwips) {
    s_->extentWidth_ = widthTwips;
    s_->extentHeight_ = heightTwips;
    Layout();
}

void ScanControl::SetExtent(float widthTwips, float heightTwips) {
    s_->extentWidth_ = widthTwips;
    s_->extentHeight_ = heightTwips;
    s_->ports_.host->ExtentChanged(widthTwips, heightTwips);
    Layout();  // a resize of the control runs the layout again
}

void ScanControl::Layout() {
    // Enforcing the minimum resizes the control, which lays it out again; the depth
    // bound keeps a host that refuses the size from recursing without end.
    if (s_->layoutDepth_ > 4) return;
    // Only the outermost run asks for the minimum: the runs its own request causes would
    // ask a refusing container again at every level, hundreds of times per resize.
    const bool outermost = s_->layoutDepth_ == 0;
    ++s_->layoutDepth_;
    struct DepthGuard {
        int& d;
        ~DepthGuard() { --d; }
    } guard{s_->layoutDepth_};

    // 1. Minimum size.
    if (outermost && s_->extentWidth_ < s_->mMinWidth) SetExtent(s_->mMinWidth, s_->extentHeight_);
    if (outermost && s_->extentHeight_ < s_->mMinHeight)
        SetExtent(s_->extentWidth_, s_->mMinHeight);

    const float tpx = s_->ports_.host->TwipsPerPixelX();
    const float tpy = s_->ports_.host->TwipsPerPixelY();
    const float w = s_->extentWidth_;
    const float h = s_->extentHeight_;

    // 2. Column position.
    const float x = w - s_->kids_[Child::Command1].width - tpx;

    // 3. Push buttons.
    s_->kids_.Move(Child::Command1, x, 0);
    s_->kids_.Move(Child::Command4, x, 360);
    s_->kids_.Move(Child::Command2, x, 720);
    s_->kids_.Move(Child::Command5, x, 1080);
    s_->kids_.Move(Child::Command6, x, 1440);

    // 4. Picture buttons; both presentations are placed, visibility picks one.
    auto w1 = [&] { return static_cast<double>(s_->kids_[Child::Command1].width); };
    auto ih = [&] { return static_cast<double>(s_->kids_[Child::Icon2].height); };
    s_->kids_.Move(Child::Icon4, x, 0);
    s_->kids_.Move(Child::Icon1, static_cast<float>(x + 0.5 * w1()), 0);
    s_->kids_.Move(Child::Icon2, x, static_cast<float>(1.1 * ih()));
    s_->kids_.Move(Child::Icon5, static_cast<float>(x + 0.5 * w1()),
                   static_cast<float>(1.1 * ih()));
    s_->kids_.Move(Child::Icon6, static_cast<float>(x + 0.5 * w1()),
                   static_cast<float>(2.2 * ih()));

    // 5. Preview.
    const float normalWidth = x - 10 * tpx;
    const float normalHeight = h - 2 * tpy;
    if (s_->mFullScreen == 1) {
        s_->kids_.Move(Child::Image1, 0, 0, w, h);
        s_->kids_.ZOrderFront(Child::Image1);
    } else {
        s_->kids_.Move(Child::Image1, 0, 0, normalWidth, normalHeight);
        s_->kids_.ZOrderFront(Child::Text2);
        s_->kids_.ZOrderFront(Child::PB);
        s_->kids_.ZOrderFront(Child::Text1);
    }

    // 6. Text-mode editor: always the normal preview rectangle.
    s_->kids_.Move(Child::Text2, 0, 0, normalWidth, normalHeight);

    // 7, 8. Progress bar.
    const ChildControl& pb = s_->kids_[Child::PB];
    s_->kids_.Move(Child::PB, 0, h - pb.height - tpy, normalWidth, pb.height);
    s_->kids_.SetProgress(Child::PB, pb.max, pb.min, 100);

    // 9. Status box, centred on the preview.
    const ChildControl& img = s_->kids_[Child::Image1];
    const ChildControl& t1 = s_->kids_[Child::Text1];
    s_->kids_.Move(Child::Text1, (img.width - t1.width) / 2, (img.height - t1.height) / 2);
}

void ScanControl::SetSize(int32_t xWidth, int32_t yHeight) {
    try {
        s_->err_.Clear();
        const double w =
            RoundHalfEven(static_cast<double>(xWidth) * s_->ports_.host->TwipsPerPixelX());
        const double h =
            RoundHalfEven(static_cast<double>(yHeight) * s_->ports_.host->TwipsPerPixelY());
        auto fits = [](double v) { return v >= -2147483648.0 && v <= 2147483647.0; };
        if (!fits(w) || !fits(h)) return;  // overflow: the size is unchanged
        double nw = w < s_->mMinWidth ? RoundHalfEven(s_->mMinWidth) : w;
        double nh = h < s_->mMinHeight ? RoundHalfEven(s_->mMinHeight) : h;
        SetExtent(static_cast<float>(nw), s_->extentHeight_);
        SetExtent(s_->extentWidth_, static_cast<float>(nh));
    } catch (...) {
    }
}

void ScanControl::FullScreen(int32_t lngFullScrn) {
    try {
        s_->mFullScreen = lngFullScrn != 0 ? 1 : 0;
        Layout();
    } catch (...) {
    }
}

void ScanControl::ButtonStyle(int32_t lngBtnStyle) {
    try {
        s_->mButtonStyle = lngBtnStyle != 0 ? 1 : 0;
        if (s_->mButtonStyle == 1) {
            s_->mMinWidth = 2565;
            s_->mMinHeight = 1820;
        } else {
            s_->mMinWidth = 1820;
            s_->mMinHeight = 1095;
        }
        Layout();
        const bool showMode = ShowModeButton().ToBool();  // read before anything is hidden
        const bool push = s_->mButtonStyle == 1;
        s_->kids_.SetVisible(push ? Child::Command6 : Child::Icon6, showMode);
        for (Child c : {Child::Command1, Child::Command2, Child::Command4, Child::Command5}) {
            s_->kids_.SetVisible(c, push);
        }
        if (push) s_->kids_.SetVisible(Child::Icon6, false);
        if (!push) s_->kids_.SetVisible(Child::Command6, false);
        for (Child c : {Child::Icon1, Child::Icon2, Child::Icon4, Child::Icon5}) {
            s_->kids_.SetVisible(c, !push);
        }
    } catch (...) {
    }
}

}  // namespace folioray
