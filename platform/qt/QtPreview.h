#pragma once
// The preview: shows the last stored picture scaled to fit, centred, inside a border,
// and hands its mouse, activation and load errors back to the control.
#include <QFrame>
#include <QImage>
#include <QPixmap>
#include <memory>
#include <utility>

#include "ports/Preview.h"

namespace folioray {

class ScanControl;

class QtPreview final : public QFrame, public Preview {
    Q_OBJECT
  public:
    explicit QtPreview(QWidget* parent = nullptr);

    // The control that receives the preview's events (none: events are dropped).
    // `owner` keeps the control alive while a call from here runs, even if the widget
    // is deleted meanwhile (from a timer, while a menu or form is up).
    void setControl(ScanControl* control, std::weak_ptr<void> owner = {}) {
        control_ = control;
        owner_ = std::move(owner);
    }

    void Load(const std::string& path) override;
    Picture PreviewPicture() override;
    void SetPreviewEnabled(bool enabled) override { setEnabled(enabled); }
    void SetFocus() override { setFocus(Qt::OtherFocusReason); }

    const QImage& image() const { return image_; }
    // The rectangle the picture is drawn in, in widget coordinates.
    QRect pictureRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QImage image_;
    QPixmap scaled_;  // cache for the current size
    template <class F>
    void WithControl(F&& f) {
        const std::shared_ptr<void> keep = owner_.lock();
        if (control_) f(*control_);
    }

    ScanControl* control_ = nullptr;
    std::weak_ptr<void> owner_;
};

}  // namespace folioray
