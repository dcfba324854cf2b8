#pragma once
// The container as Qt shows it: message boxes, the wait cursor, the control's real
// children, key messages to the host window's focused field, Timer1, the context menu
// and the modal forms.
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "ports/Host.h"
#include "ports/KeyMessages.h"

namespace folioray {

class ScanControlWidget;

// The screen's twips per pixel for `widget` (1440 / logical dots per inch), read afresh.
float TwipsPerPixelX(const QWidget* widget);
float TwipsPerPixelY(const QWidget* widget);

class QtHost final : public Host {
  public:
    explicit QtHost(ScanControlWidget& widget);
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    void MsgBox(const std::string& prompt, const std::string& title, MsgBoxIcon icon) override;
    void SetMousePointer(MousePointer pointer) override;
    void Beep() override;
    void DoEvents() override;
    float TwipsPerPixelX() override;
    float TwipsPerPixelY() override;
    void ExtentChanged(float widthTwips, float heightTwips) override;
    void ChildChanged(const std::string& childName) override;
    void SetFocus(const std::string& childName) override;
    void Refresh(const std::string& childName) override;
    bool PostMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) override;
    void SetTimer(bool enabled, uint32_t intervalMs) override;
    void PopupMenu(const std::string& menuName, float xTwips, float yTwips) override;
    void ShowDetailView(const Picture& picture, float innerWidthTwips,
                        float innerHeightTwips) override;
    void ShowAbout(AboutForm& about) override;

    // Where posted key messages go: this widget when set, otherwise the focus widget of
    // the control's window at the moment of posting.
    void setKeyTarget(QWidget* target) { keyTarget_ = target; }
    QWidget* keyTarget() const;
    // The widget is going while a call into the control still waits: from now on the
    // host shows nothing and mirrors nothing.
    void Detach() { widget_ = nullptr; }

  private:
    ScanControlWidget* widget_;
    QPointer<QWidget> keyTarget_;
    bool waitCursor_ = false;
};

}  // namespace folioray
