#include "platform/qt/PictureButton.h"

#include <QPainter>

#include "platform/qt/QtImages.h"

namespace folioray {

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void PictureButton::setPictureName(const QString& name) {
    if (name == pictureName_ && !picture_.isNull()) return;
    pictureName_ = name;
    picture_ = DrawButtonPicture(name);
    update();
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QImage face = picture_;
    if (!isEnabled()) face = face.convertToFormat(QImage::Format_Grayscale8);
    // Pressed: the picture sinks by a pixel.
    const int shift = isDown() ? 1 : 0;
    p.drawImage(QRect(shift, shift, width(), height()), face);
    if (isDown()) {
        p.setPen(QColor(64, 64, 64));
        p.drawRect(0, 0, width() - 1, height() - 1);
    }
}

}  // namespace folioray
