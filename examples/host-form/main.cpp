// host-form: shows the form; with --scan-to DIR it scans one page into DIR from the
// first scanner SANE lists, waits until the field holds the stored file's path, prints
// it and exits (0 on success, 1 on a failure or after --timeout seconds, 2 on bad use).
#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>

#include <folioray2/ScanControlWidget.h>

#include "HostForm.h"

namespace {

// Nobody is there to answer a message box: say what it said, close it and fail.
void FailOnMessageBoxes(QObject* owner, bool& failed) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [&failed] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        const auto* box = qobject_cast<QMessageBox*>(dialog);
        std::fprintf(stderr, "host-form: message box [%s] %s\n", qPrintable(dialog->windowTitle()),
                     box ? qPrintable(box->text()) : "");
        failed = true;
        dialog->reject();
        QApplication::exit(1);
    });
    timer->start(100);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A form hosting ScanControl."));
    parser.addHelpOption();
    const QCommandLineOption scanTo(QStringLiteral("scan-to"),
                                    QStringLiteral("Scan one page into DIR, then exit."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Give up after SECONDS (default 60)."),
                                     QStringLiteral("SECONDS"), QStringLiteral("60"));
    parser.addOption(scanTo);
    parser.addOption(timeout);
    parser.process(app);

    HostForm form;
    form.show();
    if (!parser.isSet(scanTo)) return QApplication::exec();

    // The control types the path as key presses of a fixed key map (lower-case letters,
    // digits and : . / \); other characters would not reach the field.
    const QString folder = parser.value(scanTo);
    if (!QRegularExpression(QStringLiteral("^[a-z0-9:./\\\\]*$")).match(folder).hasMatch()) {
        std::fprintf(stderr, "host-form: PasteName cannot type every character of %s\n",
                     qPrintable(folder));
        return 2;
    }

    bool typed = false;
    bool failed = false;
    folioray::ScanControlWidget& control = form.control();
    std::printf("Quality=%d ButtonStyle=%d\n", control.Quality(), control.ButtonStyle());
    QObject::connect(&form, &HostForm::pageStored, [](const QString& fileName) {
        std::printf("ScanComplete: %s\n", qPrintable(fileName));
        std::fflush(stdout);
    });
    QObject::connect(&form.fileName(), &QLineEdit::textChanged, [&](const QString& text) {
        if (control.CurrentName().isEmpty() || text != control.CurrentName()) return;
        std::printf("fileName: %s\n", qPrintable(text));
        typed = true;
        QApplication::exit(0);
    });
    FailOnMessageBoxes(&form, failed);
    QTimer::singleShot(parser.value(timeout).toInt() * 1000, [&] {
        std::fprintf(stderr, "host-form: timed out; the field holds \"%s\"\n",
                     qPrintable(form.fileName().text()));
        failed = true;
        QApplication::exit(1);
    });

    control.setFilePath(folder);
    control.setScanDialog(false);  // unattended: no settings dialog before the page
    QTimer::singleShot(0, &control, &folioray::ScanControlWidget::StartScan);
    QApplication::exec();
    return typed && !failed ? 0 : 1;
}
