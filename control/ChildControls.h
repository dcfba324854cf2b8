#pragma once
// The control's children as plain records. Layout and modes change only these records;
// a visual host mirrors them onto real widgets through Host::ChildChanged.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "folioray2/core_export.h"

namespace folioray {

enum class Child : int {
    Command1,
    Command2,
    Command4,
    Command5,
    Command6,
    Icon1,
    Icon2,
    Icon4,
    Icon5,
    Icon6,
    Icon1a,
    Icon1b,
    Icon2a,
    Icon2b,
    Image1,
    Image2,
    Text1,
    Text2,
    PB,
    Timer1,
    MenuPaste,
    MenuPasteImage,
    Count
};

enum class ChildKind {
    PushButton,
    PictureButton,
    PictureStore,
    Preview,
    PictureHolder,
    TextBox,
    MultiLineTextBox,
    ProgressBar,
    Timer,
    Menu,
    MenuItem
};

// Names of the pictures the picture buttons and stores carry.
namespace pic {
inline constexpr const char* kScan = "scan";
inline constexpr const char* kDone = "done";
inline constexpr const char* kInfo = "info";
inline constexpr const char* kNoInfo = "noinfo";
inline constexpr const char* kSource = "source";
inline constexpr const char* kAbout = "about";
inline constexpr const char* kMode = "mode";
}  // namespace pic

struct ChildControl {
    std::string name;
    ChildKind kind = ChildKind::PushButton;
    std::string caption;  // caption of a button or menu item, text of a text box
    std::string toolTipText;
    bool visible = false;
    bool enabled = true;
    float left = 0, top = 0, width = 0, height = 0;  // twips
    std::string picture;                             // picture buttons and stores
    // Progress bar only.
    float max = 100, min = 0, value = 0;
    // Timer only.
    uint32_t interval = 0;
};

class FOLIORAY_CORE_EXPORT ChildControls {
  public:
    ChildControls();

    const ChildControl& operator[](Child c) const { return kids_[Index(c)]; }
    const ChildControl* Find(const std::string& name) const;
    // Back to front: the last child is uppermost.
    const std::vector<Child>& ZOrder() const { return zorder_; }
    bool IsAbove(Child a, Child b) const;

    // Called with the child's name after every change.
    void SetObserver(std::function<void(const std::string&)> observer) {
        observer_ = std::move(observer);
    }

    void SetVisible(Child c, bool v);
    void SetEnabled(Child c, bool v);
    void SetCaption(Child c, const std::string& s);  // also the text of a text box
    void SetToolTip(Child c, const std::string& s);
    void SetPicture(Child c, const std::string& picture);
    void Move(Child c, float left, float top, float width, float height);
    void Move(Child c, float left, float top);  // size unchanged
    void SetSize(Child c, float width, float height);
    void ZOrderFront(Child c);
    void SetProgress(Child c, float max, float min, float value);
    void SetInterval(Child c, uint32_t ms);

  private:
    static size_t Index(Child c) { return static_cast<size_t>(c); }
    ChildControl& At(Child c) { return kids_[Index(c)]; }
    void Changed(Child c);

    std::array<ChildControl, static_cast<size_t>(Child::Count)> kids_;
    std::vector<Child> zorder_;
    std::function<void(const std::string&)> observer_;
};

}  // namespace folioray
