#pragma once
// The preview: shows the last stored picture scaled to fit, centred, inside a border,
// and hands its mouse, activation and load errors back to the control.
#include <QFrame>
#include <QImage>
#include <QPixmap>

#include "ports/Preview.h"

namespace folioray {

class ScanControl;

class QtPreview final : public QFrame, public Preview {
    Q_OBJECT
  public:
    explicit QtPreview(QWidget* parent = nullptr);

    // The control that receives the preview's events (none: events are dropped).
    void setControl(ScanControl* control) { control_ = control; }

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
    ScanControl* control_ = nullptr;
};

}  // namespace folioray
