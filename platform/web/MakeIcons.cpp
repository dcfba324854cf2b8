// Writes the picture buttons' pictures as PNG files for the web page's buttons.
// usage: folioray_web_icons DIR NAME...
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "platform/qt/QtImages.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DIR NAME...\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) return 1;
    for (int i = 2; i < argc; ++i) {
        const QString name = QString::fromLocal8Bit(argv[i]);
        if (!folioray::DrawButtonPicture(name).save(dir + "/" + name + ".png", "PNG")) {
            std::fprintf(stderr, "cannot write %s.png\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
