#pragma once
// The container the control sits in: message boxes, pointer, focus, repaint, message
// pumping, the container window's key messages, the timer and the modal forms.
#include <cmath>
#include <cstdint>
#include <string>

#include "folioray2/core_export.h"

namespace folioray {

struct Picture;
class AboutForm;

enum class MsgBoxIcon { None, Critical, Question, Exclamation, Information };
enum class MousePointer { Default, Hourglass };

// A length in twips on a screen of the given twips per pixel, to whole pixels.
inline int ToPixels(float twips, float twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

class FOLIORAY_CORE_EXPORT Host {
  public:
    virtual ~Host() = default;

    // One OK button; returns when the user has closed it.
    virtual void MsgBox(const std::string& prompt, const std::string& title, MsgBoxIcon icon) = 0;
    virtual void SetMousePointer(MousePointer pointer) = 0;
    virtual void Beep() = 0;
    // Runs the pending window messages once (painting, clicks, posted keys).
    virtual void DoEvents() = 0;
    // The screen's twips per pixel, read afresh on every use.
    virtual float TwipsPerPixelX() = 0;
    virtual float TwipsPerPixelY() = 0;

    // The control asks to be given this extent (twips); the container applies it.
    virtual void ExtentChanged(float widthTwips, float heightTwips) = 0;
    // A child's state in the model changed; a visual host mirrors it.
    virtual void ChildChanged(const std::string& childName) = 0;
    // Moves the keyboard focus to a child of the control ("Text2"; the preview has its own port).
    virtual void SetFocus(const std::string& childName) = 0;
    // Repaints a child at once, even while the thread is busy.
    virtual void Refresh(const std::string& childName) = 0;

    // Posts a key message to the container window; false when there is no such window.
    virtual bool PostMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) = 0;
    // Arms or disarms Timer1; while armed the host calls ScanControl::Timer1_Timer per interval.
    virtual void SetTimer(bool enabled, uint32_t intervalMs) = 0;

    // Pops up the preview's context menu; a chosen item calls back into the control.
    virtual void PopupMenu(const std::string& menuName, float xTwips, float yTwips) = 0;
    // Shows the detail view modally with an inner area of exactly the picture's size.
    virtual void ShowDetailView(const Picture& picture, float innerWidthTwips,
                                float innerHeightTwips) = 0;
    // Shows the About box modally.
    virtual void ShowAbout(AboutForm& about) = 0;
};

}  // namespace folioray
