// The Qt container: message boxes, cursor, key messages and PasteName, the context menu,
// the detail view and the About box.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

#include "about/frmAbout.h"
#include "control/ScanControl.h"
#include "platform/qt/DefaultPorts.h"
#include "platform/qt/QtForms.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/QtImages.h"
#include "platform/qt/QtPreview.h"
#include "platform/qt/ScanControlWidget.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/ScanControlPeer.h"
#include "tests/support/TempDir.h"

// SANE's test backend may lose its reader thread's buffer when a scan ends; that leak is
// the backend's, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libsane-test.so\n";
}

namespace folioray {
namespace {

// Keeps SANE's test backend loaded after SANE lets go of it, so that what it leaks can
// be told apart from ours by its library name.
void PinSaneTestBackend() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/sane", "/usr/lib/aarch64-linux-gnu/sane",
                            "/usr/lib/sane", "/usr/lib64/sane", "/usr/local/lib/sane"}) {
        const std::string path = std::string(dir) + "/libsane-test.so.1";
        if (::dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE)) return;
    }
}

using test::ModalWatcher;
using test::Pump;
using test::SeenWindow;
using test::WaitUntil;

// A page: a form with the control and a file-name field.
struct HostForm {
    explicit HostForm(const Ports& ports = Ports{}) {
        auto* layout = new QVBoxLayout(&form);
        control = new ScanControlWidget(ports, &form);
        field = new QLineEdit(&form);
        field->setObjectName(QStringLiteral("fileName"));
        layout->addWidget(control);
        layout->addWidget(field);
        form.show();
        Pump();
    }
    QtPreview& preview() { return control->preview(); }

    QWidget form;
    ScanControlWidget* control;
    QLineEdit* field;
};

// ---- Message boxes, cursor.

TEST(QtHostCursor, HourglassIsUndoneByOneReturnAndLeavesOtherOverridesAlone) {
    HostForm page;
    QtHost& host = page.control->host();
    QApplication::setOverrideCursor(Qt::CrossCursor);  // the host's own
    host.SetMousePointer(MousePointer::Hourglass);
    host.SetMousePointer(MousePointer::Hourglass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    host.SetMousePointer(MousePointer::Default);
    host.SetMousePointer(MousePointer::Default);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();

    // A control destroyed under the hourglass gives the cursor back.
    {
        ScanControlWidget control{Ports{}};
        control.host().SetMousePointer(MousePointer::Hourglass);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// ---- Key messages and PasteName.

// The path as the typing delivers it: lower case, characters outside the key map dropped.
std::string Typed(const std::string& path) {
    std::string out;
    for (char ch : path) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ':' || c == '.' || c == '/' ||
            c == '\\') {
            out += c;
        }
    }
    return out;
}

TEST(QtHostKeys, PasteNameTypesThePathIntoTheFocusedFieldOfTheHostForm) {
    test::TempDir dir;
    HostForm page;
    ScanControlWidget& control = *page.control;
    control.setFilePath(QString::fromStdString(dir.path()));
    control.setControlMode(1);
    control.StartScan();  // stores scanx.txt, which becomes CurrentName
    const std::string path = control.CurrentName().toStdString();
    ASSERT_EQ(path, dir / "scanx.txt");

    page.field->setText(QStringLiteral("an old value"));
    page.field->setFocus();
    ASSERT_TRUE(QMetaObject::invokeMethod(&control, "PasteName"));
    ASSERT_TRUE(QMetaObject::invokeMethod(&control, "PasteName"));  // still one typing run
    const QString expected = QString::fromStdString(Typed(path));
    EXPECT_TRUE(WaitUntil([&] { return page.field->text() == expected; }, 8000))
        << page.field->text().toStdString();
    Pump();
    EXPECT_EQ(page.field->text(), expected);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), path);
}

// ---- Context menu and detail view.

QImage Gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) img.setPixelColor(x, y, QColor(x * 5 % 256, y * 7 % 256, 90));
    }
    return img;
}

TEST(QtHostContextMenu, PasteImageStoresTheClipboardPicture) {
    test::TempDir dir;
    DefaultPorts defaults;  // the real adapters this build has
    if (!defaults.ports().jpeg) GTEST_SKIP() << "this build has no JPEG library";
    HostForm page(defaults.ports());
    ScanControlWidget& control = *page.control;
    control.setFilePath(QString::fromStdString(dir.path()));
    // Any picture another program copied.
    QGuiApplication::clipboard()->setImage(Gradient(64, 40));

    QStringList events;
    QObject::connect(&control, &ScanControlWidget::ScanComplete,
                     [&](const QString& name) { events << name; });
    std::vector<SeenWindow> seen;
    {
        ModalWatcher watcher([&](QWidget* w) {
            if (auto* menu = qobject_cast<QMenu*>(w)) {
                QAction* paste = menu->findChild<QAction*>(QStringLiteral("MenuPasteImage"));
                ASSERT_NE(paste, nullptr);
                paste->trigger();
                menu->close();
                return;
            }
            test::RecordAndClose(seen)(w);
        });
        QTest::mouseClick(&page.preview(), Qt::RightButton, {}, QPoint(15, 15));
    }
    for (const SeenWindow& s : seen)
        ADD_FAILURE() << s.title.toStdString() << ": " << s.text.toStdString();
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].toStdString(), dir / "scanx.jpg");
    EXPECT_EQ(control.ImageWidth(), 64);
    EXPECT_EQ(control.ImageHeight(), 40);
    EXPECT_EQ(page.preview().image().size(), QSize(64, 40));

    // The detail view then opens at the pasted picture's size.
    QSize inner;
    {
        ModalWatcher watcher([&](QWidget* w) {
            inner = w->size();
            static_cast<QDialog*>(w)->reject();
        });
        QTest::mouseClick(&page.preview(), Qt::LeftButton, {}, QPoint(15, 15));
    }
    EXPECT_EQ(inner, QSize(64, 40));
}

TEST(QtHostScan, SourceListAndScanFromTheSaneTestDeviceWhileTheWindowKeepsRunning) {
    test::UseSaneTestDevice();
    PinSaneTestBackend();
    test::TempDir dir;
    QWidget form;
    auto* control = new ScanControlWidget(&form);  // the real adapters
    if (!control->ports().scanner || !control->ports().jpeg) {
        GTEST_SKIP() << "this build has no scanner or JPEG library";
    }
    control->setFilePath(QString::fromStdString(dir.path()));
    form.show();
    Pump();

    // The Source button lists the devices; the second one is chosen.
    QStringList listed;
    {
        ModalWatcher watcher(
            [&](QWidget* w) {
                auto* list = w->findChild<QListWidget*>();
                ASSERT_NE(list, nullptr);
                for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
                list->setCurrentRow(1);
                static_cast<QDialog*>(w)->accept();
            },
            60000);
        qobject_cast<QAbstractButton*>(control->childWidget(QStringLiteral("Icon4")))->click();
    }
    ASSERT_EQ(listed.size(), 2);
    EXPECT_TRUE(listed[1].endsWith(QStringLiteral("(test:1)"))) << listed[1].toStdString();
    QSignalSpy events(control, &ScanControlWidget::ScanComplete);
    int ticks = 0;
    QTimer ticker;  // runs only when the scan lets the window's messages run
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    std::vector<SeenWindow> seen;
    {
        ModalWatcher watcher(test::RecordAndClose(seen), 120000);
        control->StartScan();
    }
    for (const SeenWindow& s : seen) {
        ADD_FAILURE() << s.title.toStdString() << ": " << s.text.toStdString();
    }
    ASSERT_EQ(events.count(), 1);
    EXPECT_EQ(events[0][0].toString().toStdString(), dir / "scanx.jpg");
    EXPECT_GT(control->ImageWidth(), 0);
    EXPECT_EQ(control->preview().image().width(), control->ImageWidth());
    EXPECT_GT(ticks, 0);
}

// ---- Source list.

// ---- About box.

class QtAboutBoxFont : public ::testing::TestWithParam<double> {};

TEST_P(QtAboutBoxFont, EveryTextFitsItsPlace) {
    const QFont before = QApplication::font();
    QFont bigger = before;
    bigger.setPointSizeF(before.pointSizeF() * GetParam());
    QApplication::setFont(bigger);
    HostForm page;
    frmAbout about(page.control->host(), nullptr);
    AboutDialog box(about);
    box.show();
    Pump();
    const QList<QLabel*> labels = box.findChildren<QLabel*>();
    ASSERT_GE(labels.size(), 6);
    for (QLabel* l : labels) {
        const QRect place = l->geometry();
        EXPECT_TRUE(box.rect().contains(place)) << l->objectName().toStdString();
        if (l->text().isEmpty()) continue;  // the picture has a fixed size
        const QSize need =
            l->wordWrap() ? QSize(l->minimumSizeHint().width(), l->heightForWidth(place.width()))
                          : l->sizeHint();
        EXPECT_LE(need.width(), place.width()) << l->objectName().toStdString();
        EXPECT_LE(need.height(), place.height()) << l->objectName().toStdString();
    }
    QApplication::setFont(before);
}

INSTANTIATE_TEST_SUITE_P(Scales, QtAboutBoxFont, ::testing::Values(1.0, 1.5));

}  // namespace
}  // namespace folioray
