#include "control/ChildControls.h"

#include <algorithm>

namespace folioray {

namespace {

struct Design {
    Child id;
    const char* name;
    ChildKind kind;
    const char* caption;
    const char* tip;
    bool visible;
    bool enabled;
    float width, height;
    const char* picture;
};

// Creation state: captions, tooltips, visibility and design sizes in twips.
// clang-format off
constexpr Design kDesign[] = {
    {Child::Command1, "Command1", ChildKind::PushButton, "&Scan...", "Scan a New Image", false, true, 855, 255, ""},
    {Child::Command2, "Command2", ChildKind::PushButton, "&Info", "View Image Particulars", false, false, 855, 255, ""},
    {Child::Command4, "Command4", ChildKind::PushButton, "Sou&rce...", "Select the Twain DataSource", false, true, 855, 255, ""},
    {Child::Command5, "Command5", ChildKind::PushButton, "&About...", "Some Information on the Control", false, true, 855, 255, ""},
    {Child::Command6, "Command6", ChildKind::PushButton, "&Mode", "Switch to TextBox Mode", false, true, 855, 255, ""},
    {Child::Icon1, "Icon1", ChildKind::PictureButton, "", "Scan a new Image...", true, true, 345, 330, pic::kScan},
    {Child::Icon2, "Icon2", ChildKind::PictureButton, "", "View Image Particulars", true, true, 345, 330, pic::kNoInfo},
    {Child::Icon4, "Icon4", ChildKind::PictureButton, "", "Select TWAIN Source...", true, true, 345, 330, pic::kSource},
    {Child::Icon5, "Icon5", ChildKind::PictureButton, "", "Some Information on the Control", true, true, 345, 330, pic::kAbout},
    {Child::Icon6, "Icon6", ChildKind::PictureButton, "", "Switch to Text Mode", true, true, 345, 330, pic::kMode},
    {Child::Icon1a, "Icon1a", ChildKind::PictureStore, "", "Scan a new Image...", false, true, 345, 330, pic::kScan},
    {Child::Icon1b, "Icon1b", ChildKind::PictureStore, "", "", false, true, 345, 330, pic::kDone},
    {Child::Icon2a, "Icon2a", ChildKind::PictureStore, "", "View Image Particulars", false, true, 345, 330, pic::kInfo},
    {Child::Icon2b, "Icon2b", ChildKind::PictureStore, "", "", false, true, 345, 330, pic::kNoInfo},
    {Child::Image1, "Image1", ChildKind::Preview, "", "", true, true, 0, 0, ""},
    {Child::Image2, "Image2", ChildKind::PictureHolder, "", "", false, true, 0, 0, ""},
    {Child::Text1, "Text1", ChildKind::TextBox, "Converting...", "", false, true, 1335, 285, ""},
    {Child::Text2, "Text2", ChildKind::MultiLineTextBox, "", "", false, true, 0, 0, ""},
    {Child::PB, "PB", ChildKind::ProgressBar, "", "", false, true, 0, 135, ""},
    {Child::Timer1, "Timer1", ChildKind::Timer, "", "", false, false, 0, 0, ""},
    {Child::MenuPaste, "MenuPaste", ChildKind::Menu, "Paste Image", "", false, true, 0, 0, ""},
    {Child::MenuPasteImage, "MenuPasteImage", ChildKind::MenuItem, "Paste Image", "", true, true, 0, 0, ""},
};
// clang-format on

}  // namespace

ChildControls::ChildControls() {
    for (const Design& d : kDesign) {
        ChildControl& c = At(d.id);
        c.name = d.name;
        c.kind = d.kind;
        c.caption = d.caption;
        c.toolTipText = d.tip;
        c.visible = d.visible;
        c.enabled = d.enabled;
        c.width = d.width;
        c.height = d.height;
        c.picture = d.picture;
        if (d.kind != ChildKind::Timer && d.kind != ChildKind::Menu &&
            d.kind != ChildKind::MenuItem && d.kind != ChildKind::PictureStore) {
            zorder_.push_back(d.id);
        }
    }
    At(Child::Timer1).interval = 100;
}

const ChildControl* ChildControls::Find(const std::string& name) const {
    for (const auto& c : kids_) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

bool ChildControls::IsAbove(Child a, Child b) const {
    auto ia = std::find(zorder_.begin(), zorder_.end(), a);
    auto ib = std::find(zorder_.begin(), zorder_.end(), b);
    return ia > ib;
}

void ChildControls::Changed(Child c) {
    if (observer_) observer_(At(c).name);
}

void ChildControls::SetVisible(Child c, bool v) {
    At(c).visible = v;
    Changed(c);
}

void ChildControls::SetEnabled(Child c, bool v) {
    At(c).enabled = v;
    Changed(c);
}

void ChildControls::SetCaption(Child c, const std::string& s) {
    At(c).caption = s;
    Changed(c);
}

void ChildControls::SetToolTip(Child c, const std::string& s) {
    At(c).toolTipText = s;
    Changed(c);
}

void ChildControls::SetPicture(Child c, const std::string& picture) {
    At(c).picture = picture;
    Changed(c);
}

void ChildControls::Move(Child c, float left, float top, float width, float height) {
    ChildControl& k = At(c);
    k.left = left;
    k.top = top;
    k.width = width;
    k.height = height;
    Changed(c);
}

void ChildControls::Move(Child c, float left, float top) {
    ChildControl& k = At(c);
    Move(c, left, top, k.width, k.height);
}

void ChildControls::SetSize(Child c, float width, float height) {
    ChildControl& k = At(c);
    Move(c, k.left, k.top, width, height);
}

void ChildControls::ZOrderFront(Child c) {
    auto it = std::find(zorder_.begin(), zorder_.end(), c);
    if (it != zorder_.end()) zorder_.erase(it);
    zorder_.push_back(c);
    Changed(c);
}

void ChildControls::SetProgress(Child c, float max, float min, float value) {
    ChildControl& k = At(c);
    k.max = max;
    k.min = min;
    k.value = value;
    Changed(c);
}

void ChildControls::SetInterval(Child c, uint32_t ms) {
    At(c).interval = ms;
    Changed(c);
}

}  // namespace folioray
