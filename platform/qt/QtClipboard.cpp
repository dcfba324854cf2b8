#include "platform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "platform/qt/QtImages.h"
#include "runtime/VbError.h"

namespace folioray {

namespace {

QClipboard& Board() {
    QClipboard* board = QGuiApplication::clipboard();
    if (!board) throw VbError(err::kCantOpenClipboard);
    return *board;
}

}  // namespace

void QtClipboard::Clear() {
    Board().clear();
}

std::optional<std::vector<uint8_t>> QtClipboard::GetDib() {
    const QMimeData* data = Board().mimeData();
    if (!data || !data->hasImage()) return std::nullopt;
    const QImage image = Board().image();
    if (image.isNull()) return std::nullopt;
    std::vector<uint8_t> dib = DibFromImage(image);
    if (dib.empty()) return std::nullopt;
    return dib;
}

void QtClipboard::SetDib(std::vector<uint8_t> dib) {
    const QImage image = ImageFromDib(dib);
    if (image.isNull()) throw VbError(err::kInvalidPicture);
    Board().setImage(image);
}

std::optional<std::string> QtClipboard::GetText() {
    const QMimeData* data = Board().mimeData();
    if (!data || !data->hasText()) return std::nullopt;
    return Board().text().toStdString();
}

void QtClipboard::SetText(const std::string& text) {
    Board().setText(QString::fromStdString(text));
}

}  // namespace folioray
