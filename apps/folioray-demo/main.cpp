// folioray-demo: the control in a Qt container form. --screenshot FILE renders the form
// (also on the offscreen platform) into an image file and exits.
#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "apps/folioray-demo/DemoWindow.h"
#include "control/ScanControl.h"
#include "platform/qt/DefaultPorts.h"
#include "platform/qt/ScanControlWidgetPrivate.h"

namespace {

// An unattended run cannot wait for a user: every modal window is noted and closed.
void CloseModalsUnattended(QObject* owner) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog) return;
        const auto* box = qobject_cast<QMessageBox*>(dialog);
        std::fprintf(stderr, "folioray-demo: closed [%s] %s\n", qPrintable(dialog->windowTitle()),
                     box ? qPrintable(box->text()) : "");
        dialog->reject();
    });
    timer->start(50);
}

// Opens the source list or the scan settings, renders the first dialog that shows and
// closes every window that follows.
int ScreenshotDialog(folioray::DemoWindow& window, bool source, const QString& file) {
    bool saved = false;
    bool tried = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (!tried) {
            tried = true;
            QApplication::processEvents();
            saved = dialog->grab().toImage().save(file);
        }
        dialog->reject();
    });
    timer.start(50);
    window.control().setScanDialog(true);
    if (source) {
        window.control().control().Command4_Click();
    } else {
        window.control().StartScan();
    }
    if (!saved) {
        std::fprintf(stderr, "folioray-demo: %s\n",
                     tried ? "cannot write the picture" : "the dialog did not open");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("folioray-demo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A Qt container form hosting ScanControl."));
    parser.addHelpOption();
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Render the form to FILE and exit; message boxes are closed unseen."),
        QStringLiteral("FILE"));
    const QCommandLineOption filePath(QStringLiteral("file-path"),
                                      QStringLiteral("Set the control's FilePath to DIR."),
                                      QStringLiteral("DIR"));
    const QCommandLineOption pasteImage(
        QStringLiteral("paste-image"),
        QStringLiteral("Put the picture FILE on the clipboard and paste it into the control."),
        QStringLiteral("FILE"));
    const QCommandLineOption set(
        QStringLiteral("set"),
        QStringLiteral("Write a property first, as Name=Value (repeatable)."),
        QStringLiteral("NAME=VALUE"));
    const QCommandLineOption device(QStringLiteral("device"),
                                    QStringLiteral("Scan from the SANE device NAME (e.g. test)."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption noScanDialog(
        QStringLiteral("no-scan-dialog"),
        QStringLiteral("Scan without the device's settings dialog and progress window."));
    const QCommandLineOption screenshotDialog(
        QStringLiteral("screenshot-dialog"),
        QStringLiteral("Open the source list or the scan settings, render that dialog to the "
                       "FILE given after the options, and exit."),
        QStringLiteral("source|settings"));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The picture file of --screenshot-dialog."));
    parser.addOption(noScanDialog);
    parser.addOption(screenshotDialog);
    parser.addOption(set);
    parser.addOption(device);
    parser.addOption(screenshot);
    parser.addOption(filePath);
    parser.addOption(pasteImage);
    parser.process(app);

    folioray::DemoWindow window;
    window.show();
    if (parser.isSet(screenshot)) CloseModalsUnattended(&window);
    if (parser.isSet(device) && folioray::DefaultPortsOf(window.control())) {
        folioray::DefaultPortsOf(window.control())
            ->SetScannerDevice(parser.value(device).toStdString());
    }
    for (const QString& assignment : parser.values(set)) {
        const qsizetype eq = assignment.indexOf(QLatin1Char('='));
        const QByteArray name = assignment.left(eq).toLatin1();
        if (eq <= 0 || window.control().metaObject()->indexOfProperty(name.constData()) < 0) {
            std::fprintf(stderr, "folioray-demo: no property in --set %s\n",
                         qPrintable(assignment));
            return 2;
        }
        window.control().setProperty(name.constData(),
                                     folioray::ScriptValue(assignment.mid(eq + 1)));
    }
    if (parser.isSet(filePath)) window.control().setFilePath(parser.value(filePath));
    if (parser.isSet(pasteImage)) {
        const QImage picture(parser.value(pasteImage));
        if (picture.isNull()) {
            std::fprintf(stderr, "folioray-demo: cannot read the picture %s\n",
                         qPrintable(parser.value(pasteImage)));
            return 2;
        }
        QGuiApplication::clipboard()->setImage(picture);
        window.control().control().MenuPasteImage_Click();
    }
    if (parser.isSet(noScanDialog)) window.control().setScanDialog(false);
    window.RefreshProperties();
    if (parser.isSet(screenshotDialog)) {
        const QString kind = parser.value(screenshotDialog);
        const QString file = parser.positionalArguments().value(0);
        if ((kind != QLatin1String("source") && kind != QLatin1String("settings")) ||
            file.isEmpty()) {
            std::fprintf(stderr, "folioray-demo: --screenshot-dialog source|settings FILE\n");
            return 2;
        }
        return ScreenshotDialog(window, kind == QLatin1String("source"), file);
    }
    if (!parser.isSet(screenshot)) return QApplication::exec();

    // Let the first layout and paint happen before the picture is taken.
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const QString file = parser.value(screenshot);
    if (!window.grab().toImage().save(file)) {
        std::fprintf(stderr, "folioray-demo: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}
