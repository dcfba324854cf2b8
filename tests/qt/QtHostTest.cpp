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
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/RegFile.h"
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

TEST(QtHostMessages, EachIconWithItsExactTitleAndOneOkButton) {
    HostForm page;
    const struct {
        MsgBoxIcon icon;
        QMessageBox::Icon shown;
    } cases[] = {
        {MsgBoxIcon::Critical, QMessageBox::Critical},
        {MsgBoxIcon::Exclamation, QMessageBox::Warning},
        {MsgBoxIcon::Information, QMessageBox::Information},
        {MsgBoxIcon::Question, QMessageBox::Question},
        {MsgBoxIcon::None, QMessageBox::NoIcon},
    };
    for (const auto& c : cases) {
        int buttons = -1;
        bool okOnly = false;
        std::vector<SeenWindow> seen;
        {
            auto record = test::RecordAndClose(seen);
            ModalWatcher watcher([&](QWidget* w) {
                if (auto* box = qobject_cast<QMessageBox*>(w)) {
                    buttons = static_cast<int>(box->buttons().size());
                    okOnly = box->standardButtons() == QMessageBox::Ok;
                }
                record(w);
            });
            page.control->host().MsgBox("The picture could not be scanned.\r\n\r\n<b>x</b>",
                                        "Pagewright Control", c.icon);
        }
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].title, QStringLiteral("Pagewright Control"));
        EXPECT_EQ(seen[0].text, QStringLiteral("The picture could not be scanned.\n\n<b>x</b>"));
        EXPECT_EQ(seen[0].icon, c.shown);
        EXPECT_EQ(buttons, 1);
        EXPECT_TRUE(okOnly);
    }
}

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

void PostText(QtHost& host, const std::string& text) {
    for (char ch : text) host.PostMessage(WM_CHAR, static_cast<uint8_t>(ch), 0x00010001);
}

void PostEndAndBackspaces(QtHost& host, int backspaces) {
    host.PostMessage(WM_KEYDOWN, VK_END, 0x004F0001);
    host.PostMessage(WM_KEYUP, VK_END, 0xC04F0001);
    for (int i = 0; i < backspaces; ++i) {
        host.PostMessage(WM_KEYDOWN, VK_BACK, 0x000E0001);
        host.PostMessage(WM_KEYUP, VK_BACK, 0xC00E0001);
    }
}

TEST(QtHostKeys, PostedKeysEditTheFieldThatHasTheFocus) {
    HostForm page;
    const std::string long120(120, 'k');
    const struct {
        std::string before;
        int backspaces;
        std::string typed;
        std::string after;
    } cases[] = {
        {"abcdef", 3, "x:/1", "abcx:/1"},
        {long120, 100, "z", std::string(20, 'k') + "z"},  // only the last 100 go
        {"", 100, "c:\\a.jpg", "c:\\a.jpg"},
    };
    for (const auto& c : cases) {
        page.field->setText(QString::fromStdString(c.before));
        page.field->setCursorPosition(0);  // End must move it before the erasing
        page.field->setFocus();
        PostEndAndBackspaces(page.control->host(), c.backspaces);
        PostText(page.control->host(), c.typed);
        Pump();
        EXPECT_EQ(page.field->text().toStdString(), c.after);
    }
}

TEST(QtHostKeys, ADesignatedTargetGetsTheKeysWhateverHasTheFocus) {
    HostForm page;
    QLineEdit other(&page.form);
    page.field->setFocus();
    page.control->setKeyTarget(&other);
    PostText(page.control->host(), "ab");
    Pump();
    EXPECT_EQ(other.text(), QStringLiteral("ab"));
    EXPECT_TRUE(page.field->text().isEmpty());
}

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

// Closes a window from its own event loop, after the handler has returned.
void Later(const std::function<void()>& f) {
    QTimer::singleShot(0, f);
}

TEST(QtHostDetailView, OpensModalAtThePicturesSizeAndIsGoneAfterwards) {
    HostForm page;
    const QImage picture = Gradient(37, 23);
    const float tpx = TwipsPerPixelX(page.control), tpy = TwipsPerPixelY(page.control);
    QSize inner, pixmap;
    QString title;
    bool modal = false;
    QColor corner;
    {
        ModalWatcher watcher([&](QWidget* w) {
            auto* form = qobject_cast<DetForm*>(w);
            ASSERT_NE(form, nullptr);
            inner = form->size();
            title = form->windowTitle();
            modal = form->isModal();
            pixmap = form->pictureBox()->pixmap().size();
            corner = form->pictureBox()->pixmap().toImage().pixelColor(36, 22);
            form->reject();
        });
        page.control->host().ShowDetailView(PictureFromImage(picture), 37 * tpx, 23 * tpy);
        EXPECT_EQ(watcher.seen(), 1);
    }
    EXPECT_EQ(title, QStringLiteral("Full Size View"));
    EXPECT_TRUE(modal);
    EXPECT_EQ(inner, QSize(37, 23));
    EXPECT_EQ(pixmap, QSize(37, 23));
    EXPECT_EQ(corner, picture.pixelColor(36, 22));
    Pump();
    EXPECT_TRUE(page.form.findChildren<DetForm*>().isEmpty());
}

TEST(QtHostDetailView, PreviewClicksOpenItOnlyOnceThereIsAnImage) {
    test::TempDir dir;
    HostForm page;
    QtPreview& preview = page.preview();
    std::vector<SeenWindow> seen;
    {
        ModalWatcher watcher(test::RecordAndClose(seen));
        QTest::mouseClick(&preview, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::keyClick(&preview, Qt::Key_Return);
        Pump();
    }
    EXPECT_TRUE(seen.empty());

    // As after a stored image: the picture holder 61 x 45, the preview showing the file.
    ScanControlTestPeer::SetAcquiredImage(page.control->control(), 61, 45);
    ASSERT_TRUE(Gradient(61, 45).save(QString::fromStdString(dir / "shown.png")));
    preview.Load(dir / "shown.png");
    std::vector<QSize> sizes;
    {
        ModalWatcher watcher([&](QWidget* w) {
            if (auto* form = qobject_cast<DetForm*>(w)) sizes.push_back(form->size());
            static_cast<QDialog*>(w)->reject();
        });
        QTest::mouseClick(&preview, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::keyClick(&preview, Qt::Key_Return);  // activation
    }
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], QSize(61, 45));
    EXPECT_EQ(sizes[1], QSize(61, 45));
}

TEST(QtHostContextMenu, RightButtonOrBothButtonsGiveTheMenuEvenWithAnImage) {
    HostForm page;
    ScanControlTestPeer::SetAcquiredImage(page.control->control(), 10, 10);
    QtPreview& preview = page.preview();
    for (Qt::MouseButtons held :
         {Qt::MouseButtons(Qt::RightButton), Qt::MouseButtons(Qt::LeftButton | Qt::RightButton)}) {
        std::vector<SeenWindow> seen;
        QStringList items;
        {
            auto record = test::RecordAndClose(seen);
            ModalWatcher watcher([&](QWidget* w) {
                if (auto* menu = qobject_cast<QMenu*>(w)) {
                    for (QAction* a : menu->actions()) {
                        if (a->isVisible()) items << a->text();
                    }
                }
                record(w);
            });
            const QPointF at(30, 12);
            QMouseEvent press(QEvent::MouseButtonPress, at, preview.mapToGlobal(at),
                              held & Qt::LeftButton ? Qt::LeftButton : Qt::RightButton, held,
                              Qt::NoModifier);
            QApplication::sendEvent(&preview, &press);
        }
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].className, QStringLiteral("QMenu"));
        EXPECT_EQ(items, QStringList{QStringLiteral("Paste Image")});
    }
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

TEST(QtSourceList, ReturnsTheChosenRowOrNothingWhenCancelled) {
    const QStringList devices{QStringLiteral("Acme Flatbed (acme:0)"),
                              QStringLiteral("Noname Frontend-tester (test:0)")};
    const struct {
        bool accept;
        int row;
        int expected;
    } cases[] = {{true, 1, 1}, {true, -1, 0}, {false, 1, -1}};
    for (const auto& c : cases) {
        QString title;
        int startRow = -2;
        int chosen = -3;
        {
            ModalWatcher watcher([&](QWidget* w) {
                auto* dialog = qobject_cast<QDialog*>(w);
                ASSERT_NE(dialog, nullptr);
                title = dialog->windowTitle();
                auto* list = dialog->findChild<QListWidget*>();
                ASSERT_NE(list, nullptr);
                startRow = list->currentRow();
                if (c.row >= 0) list->setCurrentRow(c.row);
                c.accept ? dialog->accept() : dialog->reject();
            });
            chosen = ChooseFromList(nullptr, QStringLiteral("Select Source"),
                                    QStringLiteral("Sources:"), devices, 0);
        }
        EXPECT_EQ(title, QStringLiteral("Select Source"));
        EXPECT_EQ(startRow, 0);
        EXPECT_EQ(chosen, c.expected);
    }
    std::vector<SeenWindow> seen;
    {
        ModalWatcher watcher(test::RecordAndClose(seen));
        EXPECT_EQ(ChooseFromList(nullptr, QStringLiteral("Select Source"), {}, {}, 0), -1);
    }
    EXPECT_TRUE(seen.empty());
}

// ---- About box.

struct AboutResult {
    QString title, heading, version, description, description1, sysInfoCaption;
    std::vector<SeenWindow> messages;
};

// Opens the About box with the control's About button, presses System Info when asked,
// notes what showed, and closes it with OK.
AboutResult RunAboutBox(ScanControlWidget& control, bool pressSysInfo) {
    AboutResult r;
    int aboutShown = 0;
    ModalWatcher watcher([&](QWidget* w) {
        if (qobject_cast<QMessageBox*>(w)) {
            test::RecordAndClose(r.messages)(w);
            return;
        }
        auto* box = qobject_cast<AboutDialog*>(w);
        ASSERT_NE(box, nullptr);
        auto text = [box](const char* name) {
            QLabel* l = box->findChild<QLabel*>(QLatin1String(name));
            return l ? l->text() : QString();
        };
        r.title = box->windowTitle();
        r.heading = text("lblTitle");
        r.version = text("lblVersion");
        r.description = text("lblDescription");
        r.description1 = text("lblDescription1");
        auto* sysInfo = box->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
        auto* ok = box->findChild<QPushButton*>(QStringLiteral("cmdOK"));
        ASSERT_TRUE(sysInfo && ok);
        r.sysInfoCaption = sysInfo->text();
        // First showing: System Info (when asked); the box comes back after its message.
        // Only the first showing acts; the box is seen again once a message has closed.
        if (++aboutShown == 1) {
            Later([sysInfo, ok, pressSysInfo] {
                if (pressSysInfo) sysInfo->click();  // returns once its message is closed
                ok->click();
            });
        }
    });
    qobject_cast<QAbstractButton*>(control.childWidget(QStringLiteral("Icon5")))->click();
    return r;
}

TEST(QtAboutBox, ShowsItsTextsAndClosesWithOk) {
    HostForm page;
    const AboutResult r = RunAboutBox(*page.control, false);
    frmAbout texts(page.control->host(), nullptr);
    EXPECT_EQ(r.title, QStringLiteral("About Folioray ActiveX Control"));
    EXPECT_EQ(r.heading, QStringLiteral("Folioray Version II ActiveX Control"));
    EXPECT_EQ(r.version.toStdString(),
              VersionText(FOLIORAY_VERSION_MAJOR, FOLIORAY_VERSION_MINOR, FOLIORAY_VERSION_PATCH));
    EXPECT_EQ(r.description.toStdString(), texts.lblDescription());
    EXPECT_EQ(r.description1.toStdString(), texts.lblDescription1());
    EXPECT_EQ(r.sysInfoCaption, QStringLiteral("System &Info..."));
    EXPECT_TRUE(r.messages.empty());
    Pump();
    EXPECT_TRUE(page.form.findChildren<AboutDialog*>().isEmpty());
    // Afterwards the preview has the focus.
    EXPECT_EQ(page.form.focusWidget(), &page.preview());
}

// Which registry entries lead where is the About box's own test; here the Qt box starts
// the program, or shows its message and comes back.
TEST(QtAboutBox, SystemInformationFromTheRegistry) {
    test::TempDir dir;
    const std::string marker = dir / "started";
    test::WriteFile(dir / "sysinfo.sh", "#!/bin/sh\necho started > '" + marker + "'\n");
    ::chmod((dir / "sysinfo.sh").c_str(), 0755);
    const struct {
        const char* label;
        std::string reg;
        bool started;
    } cases[] = {
        {"the program is named",
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"PATH\"=\"" +
             (dir / "sysinfo.sh") + "\"\n",
         true},
        {"no registry entries", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto registry = RegFileRegistry::FromText("REGEDIT4\n\n" + c.reg);
        PosixLauncher launcher;
        Ports ports;
        ports.registry = registry.get();
        ports.launcher = &launcher;
        HostForm page(ports);
        const AboutResult r = RunAboutBox(*page.control, true);
        if (c.started) {
            EXPECT_TRUE(r.messages.empty());
            EXPECT_TRUE(WaitUntil([&] { return test::Exists(marker); }, 5000));
        } else {
            ASSERT_EQ(r.messages.size(), 1u);
            EXPECT_EQ(r.messages[0].text,
                      QStringLiteral("System Information Is Unavailable At This Time"));
        }
    }
}

}  // namespace
}  // namespace folioray
