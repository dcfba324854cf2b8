#include "platform/qt/QtImages.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QTransform>
#include <cstring>

#include "runtime/ClipboardDib.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

// Transparent parts of a copied picture become white rather than black.
QImage Flatten(const QImage& image) {
    if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_BGR888);
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter p(&flat);
    p.drawImage(0, 0, image);
    p.end();
    return flat.convertToFormat(QImage::Format_BGR888);
}

// Copies BGR rows bottom-up into `out` at `offset`, each row padded to 4 bytes.
void CopyRowsBottomUp(const QImage& bgr, std::vector<uint8_t>& out, size_t offset) {
    const size_t stride = (static_cast<size_t>(bgr.width()) * 3 + 3) & ~size_t{3};
    const size_t rowBytes = static_cast<size_t>(bgr.width()) * 3;
    for (int y = 0; y < bgr.height(); ++y) {
        const size_t dst = offset + static_cast<size_t>(bgr.height() - 1 - y) * stride;
        std::memcpy(out.data() + dst, bgr.constScanLine(y), rowBytes);
    }
}

QImage NewCanvas(int w, int h, const QColor& fill) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

const QColor kFace(212, 208, 200);

// A raised button edge around the whole picture.
void RaisedEdge(QPainter& p, int w, int h) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::white);
    p.drawLine(0, 0, w - 2, 0);
    p.drawLine(0, 0, 0, h - 2);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(1, h - 2, w - 2, h - 2);
    p.drawLine(w - 2, 1, w - 2, h - 2);
    p.setPen(QColor(64, 64, 64));
    p.drawLine(0, h - 1, w - 1, h - 1);
    p.drawLine(w - 1, 0, w - 1, h - 1);
}

void Page(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
}

void ScannerBody(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setPen(QPen(QColor(40, 200, 90), 1.5));
    p.drawLine(QPointF(r.left() + 2, r.top() + 2.5), QPointF(r.right() - 2, r.top() + 2.5));
}

void InfoDisc(QPainter& p, const QColor& disc) {
    p.setPen(QPen(disc.darker(140), 1));
    p.setBrush(disc);
    p.drawEllipse(QPointF(11.5, 11), 7.5, 7.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(11.5, 6.8), 1.4, 1.4);
    p.drawRect(QRectF(10.4, 9.2, 2.2, 6.5));
}

void Glyph(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, int px) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

}  // namespace

QImage ImageFromPicture(const Picture& picture) {
    if (picture.Empty()) return {};
    const size_t stride = static_cast<size_t>(picture.Stride());
    if (picture.PixelBytes() < stride * static_cast<size_t>(picture.height)) return {};
    QImage img(picture.width, picture.height, QImage::Format_BGR888);
    if (img.isNull()) return {};
    const size_t rowBytes = static_cast<size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y) {
        const size_t src = static_cast<size_t>(picture.height - 1 - y) * stride;
        std::memcpy(img.scanLine(y), picture.Pixels() + src, rowBytes);
    }
    if (picture.xPelsPerMeter > 0 && picture.yPelsPerMeter > 0) {
        img.setDotsPerMeterX(picture.xPelsPerMeter);
        img.setDotsPerMeterY(picture.yPelsPerMeter);
    }
    return img;
}

Picture PictureFromImage(const QImage& image) {
    Picture pic;
    if (image.isNull()) return pic;
    const QImage bgr = Flatten(image);
    pic.isBitmap = true;
    pic.width = bgr.width();
    pic.height = bgr.height();
    pic.bits.assign(static_cast<size_t>(pic.Stride()) * static_cast<size_t>(pic.height), 0);
    CopyRowsBottomUp(bgr, pic.bits, 0);
    // Qt gives every image the screen's resolution; only another one was really carried.
    static const int kUnset = QImage(1, 1, QImage::Format_RGB32).dotsPerMeterX();
    if (image.dotsPerMeterX() != kUnset || image.dotsPerMeterY() != kUnset) {
        pic.xPelsPerMeter = image.dotsPerMeterX();
        pic.yPelsPerMeter = image.dotsPerMeterY();
    }
    return pic;
}

std::vector<uint8_t> DibFromImage(const QImage& image) {
    return MakeDib(PictureFromImage(image));
}

QImage ImageFromDib(const std::vector<uint8_t>& dib) {
    // The control's own reader, so that a picture the Qt side accepts is one the
    // commands accept too.
    try {
        return ImageFromPicture(PictureFromDib(dib));
    } catch (const VbError&) {
        return {};
    }
}

QImage DrawButtonPicture(const QString& name) {
    constexpr int w = 23, h = 22;
    QImage img = NewCanvas(w, h, kFace);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (name == QLatin1String("scan")) {
        Page(p, QRectF(6.5, 2.5, 10, 9));
        p.setPen(QColor(120, 120, 120));
        for (int y = 5; y <= 9; y += 2) p.drawLine(QPointF(8.5, y + 0.5), QPointF(14.5, y + 0.5));
        ScannerBody(p, QRectF(3.5, 11.5, 16, 7));
    } else if (name == QLatin1String("done")) {
        Page(p, QRectF(5.5, 2.5, 12, 16));
        p.setPen(QPen(QColor(20, 140, 40), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(7.5, 10.5), QPointF(10.5, 14), QPointF(16.5, 6)}));
    } else if (name == QLatin1String("info")) {
        InfoDisc(p, QColor(30, 90, 210));
    } else if (name == QLatin1String("noinfo")) {
        InfoDisc(p, QColor(160, 160, 160));
    } else if (name == QLatin1String("source")) {
        ScannerBody(p, QRectF(3.5, 10.5, 16, 8));
        p.setPen(QPen(QColor(140, 90, 0), 1));
        p.setBrush(QColor(250, 200, 40));
        p.drawPolygon(QPolygonF({QPointF(11.5, 1.5), QPointF(16.5, 6), QPointF(13, 6),
                                 QPointF(13, 9), QPointF(10, 9), QPointF(10, 6), QPointF(6.5, 6)}));
    } else if (name == QLatin1String("about")) {
        p.setPen(QPen(QColor(150, 110, 0), 1));
        p.setBrush(QColor(255, 215, 60));
        p.drawEllipse(QPointF(11.5, 11), 7.5, 7.5);
        Glyph(p, QRectF(3, 2, 17, 18), QStringLiteral("?"), QColor(20, 40, 120), 13);
    } else if (name == QLatin1String("mode")) {
        Page(p, QRectF(5.5, 2.5, 12, 16));
        Glyph(p, QRectF(5, 3, 13, 15), QStringLiteral("T"), QColor(20, 20, 20), 12);
    }
    RaisedEdge(p, w, h);
    p.end();
    return img.convertToFormat(QImage::Format_RGB888);
}

QImage DrawProductPicture() {
    constexpr int w = 90, h = 62;
    QImage img = NewCanvas(w, h, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(40, 80, 160));
    sky.setColorAt(1, QColor(120, 170, 230));
    p.fillRect(img.rect(), sky);
    // A page leaving a scanner.
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    QTransform tilt;
    tilt.translate(20, 6);
    tilt.rotate(-8);
    p.setTransform(tilt);
    p.drawRect(QRectF(0, 0, 26, 32));
    p.setPen(QColor(140, 140, 140));
    for (int y = 6; y < 28; y += 4) p.drawLine(QPointF(4, y), QPointF(22, y));
    p.resetTransform();
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(170, 170, 180));
    p.drawRoundedRect(QRectF(6.5, 38.5, 50, 16), 3, 3);
    p.setPen(QPen(QColor(40, 220, 100), 2));
    p.drawLine(QPointF(10, 43), QPointF(53, 43));
    Glyph(p, QRectF(54, 8, 34, 40), QStringLiteral("F2"), Qt::white, 20);
    p.end();
    return img.convertToFormat(QImage::Format_RGB888);
}

QIcon DetailWindowIcon() {
    QImage img = NewCanvas(32, 32, Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    Page(p, QRectF(4.5, 2.5, 18, 24));
    p.setPen(QColor(140, 140, 140));
    for (int y = 7; y < 22; y += 4) p.drawLine(QPointF(7.5, y + 0.5), QPointF(19.5, y + 0.5));
    p.setPen(QPen(QColor(30, 60, 150), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(200, 225, 255, 180));
    p.drawEllipse(QPointF(19, 18), 6, 6);
    p.drawLine(QPointF(23.5, 22.5), QPointF(29, 28));
    p.end();
    return QIcon(QPixmap::fromImage(img));
}

}  // namespace folioray
