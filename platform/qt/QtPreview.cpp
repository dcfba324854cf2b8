#include "platform/qt/QtPreview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "control/ScanControl.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/QtImages.h"
#include "runtime/VbError.h"

namespace folioray {

QtPreview::QtPreview(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);  // border style 1: fixed single
    setLineWidth(1);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void QtPreview::Load(const std::string& path) {
    QImage loaded;
    if (!loaded.load(QString::fromStdString(path))) {
        // The old picture stays on show; the running command learns of the failure.
        int32_t number = err::kInvalidPicture;
        if (control_) control_->Image1_PreviewError(number, 0);
        return;
    }
    image_ = std::move(loaded);
    scaled_ = QPixmap();
    update();
}

Picture QtPreview::PreviewPicture() {
    return PictureFromImage(image_);
}

QRect QtPreview::pictureRect() const {
    if (image_.isNull()) return {};
    const QRect area = contentsRect();
    QSize size = image_.size();
    if (size.width() > area.width() || size.height() > area.height()) {
        size.scale(area.size(), Qt::KeepAspectRatio);
    }
    QRect r(QPoint(0, 0), size);
    r.moveCenter(area.center());
    return r;
}

void QtPreview::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    const QRect r = pictureRect();
    if (r.isEmpty()) return;
    if (scaled_.size() != r.size()) {
        scaled_ = QPixmap::fromImage(
            image_.scaled(r.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    QPainter p(this);
    p.drawPixmap(r.topLeft(), scaled_);
}

void QtPreview::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    scaled_ = QPixmap();
}

void QtPreview::mousePressEvent(QMouseEvent* event) {
    if (!control_) return;
    // Every button held at the press counts, so left and right together give 3.
    const Qt::MouseButtons held = event->buttons() | event->button();
    int16_t mask = 0;
    if (held & Qt::LeftButton) mask |= 1;
    if (held & Qt::RightButton) mask |= 2;
    if (held & Qt::MiddleButton) mask |= 4;
    int16_t shift = 0;
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ShiftModifier) shift |= 1;
    if (mods & Qt::ControlModifier) shift |= 2;
    if (mods & Qt::AltModifier) shift |= 4;
    const QPointF pos = event->position();
    const float x = static_cast<float>(pos.x()) * TwipsPerPixelX(this);
    const float y = static_cast<float>(pos.y()) * TwipsPerPixelY(this);
    event->accept();
    WithControl([&](ScanControl& c) { c.Image1_PreviewMouseButton(mask, shift, x, y); });
}

void QtPreview::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        WithControl([](ScanControl& c) { c.Image1_PreviewActivated(); });
    }
}

void QtPreview::keyPressEvent(QKeyEvent* event) {
    if (control_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        WithControl([](ScanControl& c) { c.Image1_PreviewActivated(); });
        return;
    }
    QFrame::keyPressEvent(event);
}

}  // namespace folioray
