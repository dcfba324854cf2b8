#pragma once
// Conversions between QImage and the control's picture forms (the 24-bit bottom-up
// Picture and clipboard DIB bytes), and the pictures the control draws for itself.
#include <QIcon>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

#include "ports/Picture.h"

namespace folioray {

// A null image when the picture is not a bitmap or its bits are short.
QImage ImageFromPicture(const Picture& picture);
Picture PictureFromImage(const QImage& image);

// BITMAPINFOHEADER (40 bytes) followed by 24-bit bottom-up rows padded to 4 bytes;
// empty for a null image.
std::vector<uint8_t> DibFromImage(const QImage& image);
// Any DIB the control's clipboard reader accepts; a null image when the bytes are not one.
QImage ImageFromDib(const std::vector<uint8_t>& dib);

// The 23 x 22 picture of a picture button or store ("scan", "done", "info", "noinfo",
// "source", "about", "mode"); a plain button face for an unknown name.
QImage DrawButtonPicture(const QString& name);
// The About box's 90 x 62 product picture.
QImage DrawProductPicture();
// The detail window's own icon.
QIcon DetailWindowIcon();

}  // namespace folioray
