// The Qt widget and its container: the layout on real children, property signals, pictures
// to and from Qt, message boxes, cursor, key messages and PasteName, the context menu, the
// detail view, scans from the SANE test device, and uploads that wait.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMetaProperty>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <map>
#include <memory>

#include "control/ScanControl.h"
#include "platform/curl/CurlInternet.h"
#include "platform/qt/AcquireDialog.h"
#include "platform/qt/DefaultPorts.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/QtImages.h"
#include "platform/qt/QtPreview.h"
#include "platform/qt/ScanControlWidgetPrivate.h"
#include "tests/acquire/SaneTestDevice.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray {
namespace {

// Sets the dialog's editor for a device option as a user would.
void SetEditor(QWidget* dialog, const char* option, const QString& value) {
    QWidget* e = dialog->findChild<QWidget*>(QLatin1String(option));
    ASSERT_NE(e, nullptr) << option;
    if (auto* b = qobject_cast<QCheckBox*>(e)) b->setChecked(value == QLatin1String("yes"));
    if (auto* c = qobject_cast<QComboBox*>(e)) c->setCurrentText(value);
    if (auto* s = qobject_cast<QSpinBox*>(e)) s->setValue(value.toInt());
    if (auto* d = qobject_cast<QDoubleSpinBox*>(e)) d->setValue(value.toDouble());
}

// Opens the source list from the Source button and chooses `row`; what the list showed:
// its headings, then each device's name and type, then the row it started at.
QStringList ChooseSource(ScanControlWidget& control, int row) {
    QStringList seen;
    test::ModalWatcher watcher(
        [&](QWidget* w) {
            auto* table = w->findChild<QTreeWidget*>();
            if (!table) return static_cast<QDialog*>(w)->reject();
            QStringList heads;
            for (int c = 0; c < table->columnCount(); ++c) heads << table->headerItem()->text(c);
            seen << heads.join(' ');
            for (int r = 0; r < table->topLevelItemCount(); ++r)
                seen << table->topLevelItem(r)->text(0) + " " + table->topLevelItem(r)->text(3);
            seen << "current " + QString::number(table->indexOfTopLevelItem(table->currentItem()));
            table->setCurrentItem(table->topLevelItem(row));
            static_cast<QDialog*>(w)->accept();
        },
        60000);
    qobject_cast<QAbstractButton*>(control.childWidget(QStringLiteral("Icon4")))->click();
    return seen;
}

// Runs `command`; the scanner's settings dialog it opens goes to `onDialog`, and any other
// window is noted and closed. Gives those other windows.
std::vector<test::SeenWindow> WithScanDialog(const std::function<void()>& command,
                                             const std::function<void(QWidget*)>& onDialog,
                                             int boundMs = 60000) {
    std::vector<test::SeenWindow> seen;
    test::ModalWatcher watcher(
        [&](QWidget* w) {
            if (!qobject_cast<AcquireDialog*>(w)) return test::RecordAndClose(seen)(w);
            onDialog(w);
        },
        boundMs);
    command();
    return seen;
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
    QtPreview& preview() { return PreviewOf(*control); }

    QWidget form;
    ScanControlWidget* control;
    QLineEdit* field;
};

// ---- Message boxes, cursor.

TEST(QtHostCursor, HourglassIsUndoneByOneReturnAndLeavesOtherOverridesAlone) {
    HostForm page;
    QtHost& host = HostOf(*page.control);
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
        HostOf(control).SetMousePointer(MousePointer::Hourglass);
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

TEST(QtHostScan, ScansFromTheChosenSourceWithItsSettingsAndCancelsWhileTheWindowKeepsRunning) {
    test::UseSaneTestDevice();
    QFile::remove(ScannerSettingsFile());
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
    const QStringList listed = ChooseSource(*control, 1);
    EXPECT_EQ(listed, (QStringList{"Name Vendor Model Type", "test:0 virtual device",
                                   "test:1 virtual device", "current 0"}));
    QSignalSpy events(control, &ScanControlWidget::ScanComplete);
    int ticks = 0;
    QTimer ticker;  // runs only when the scan lets the window's messages run
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    // The device's own settings: Gray at 150 dpi over an A6 page.
    std::vector<SeenWindow> seen =
        WithScanDialog([&] { control->StartScan(); },
                       [](QWidget* w) {
                           SetEditor(w, "mode", "Gray");
                           SetEditor(w, "resolution", "150");
                           SetEditor(w, "paper", "A6");
                           w->findChild<QPushButton*>(QStringLiteral("scan"))->click();
                       },
                       120000);
    for (const SeenWindow& s : seen) {
        ADD_FAILURE() << s.title.toStdString() << ": " << s.text.toStdString();
    }
    ASSERT_EQ(events.count(), 1);
    EXPECT_EQ(events[0][0].toString().toStdString(), dir / "scanx.jpg");
    EXPECT_GT(ticks, 0);
    // 105 x 148 mm at 150 dpi, in grey.
    const QImage stored(QString::fromStdString(dir / "scanx.jpg"));
    EXPECT_NEAR(stored.width(), 620, 1);
    EXPECT_NEAR(stored.height(), 874, 1);
    EXPECT_NEAR(stored.dotsPerMeterX(), 5906, 1);
    for (int y = 0; y < stored.height(); y += 37) {
        for (int x = 0; x < stored.width(); x += 29) {
            const QColor c = stored.pixelColor(x, y);
            ASSERT_LE(std::abs(c.red() - c.green()) + std::abs(c.green() - c.blue()), 6)
                << x << "," << y;
        }
    }
    EXPECT_EQ(PreviewOf(*control).image().width(), control->ImageWidth());

    // A control made afterwards (the next run) starts from the chosen source and from the
    // saved settings, not from what the device still holds of this scan.
    {
        QSettings saved(ScannerSettingsFile(), QSettings::IniFormat);
        saved.beginGroup(QStringLiteral("Acquire"));
        for (const QString& device : saved.childGroups()) saved.setValue(device + "/mode", "Color");
    }
    ScanControlWidget next;
    next.setFilePath(QString::fromStdString(dir.path()));
    next.show();
    Pump();
    const QStringList again = ChooseSource(next, 1);
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again.back(), QStringLiteral("current 1"));
    // There a slow scan is started; Cancel in its progress window stops the device and fails
    // the scan as a cancelled source does.
    bool cancelled = false;
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        auto* progress = next.findChild<QProgressDialog*>(QStringLiteral("ScanProgress"));
        if (!progress || !progress->isVisible() || progress->value() < 1 || cancelled) return;
        cancelled = true;
        progress->findChild<QPushButton*>()->click();
    });
    canceller.start(10);
    QStringList shown;
    seen = WithScanDialog(
        [&] { next.StartScan(); },
        [&](QWidget* w) {
            for (const char* name : {"mode", "paper"})
                shown << w->findChild<QComboBox*>(QLatin1String(name))->currentText();
            w->findChild<QToolButton*>(QStringLiteral("advanced"))->click();
            SetEditor(w, "read-delay", "yes");
            SetEditor(w, "read-delay-duration", "200000");
            SetEditor(w, "read-limit", "yes");
            SetEditor(w, "read-limit-size", "2000");
            w->findChild<QPushButton*>(QStringLiteral("scan"))->click();
        });
    EXPECT_EQ(shown, (QStringList{"Color", "A6"}));
    EXPECT_TRUE(cancelled);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text.toStdString(),
              "The picture could not be scanned.\n\nA Problem was encountered while "
              "attempting to aquire the image. Please try again.");
    EXPECT_EQ(next.findChild<QProgressDialog*>(), nullptr);
}

// ---- The widget: the layout on real children, in pixels; its properties' change signals.

class ScanControlWidgetTest : public ::testing::Test {
  protected:
    ScanControlWidgetTest() : w(Ports{}) {}

    void ShowAt(int widthPx, int heightPx) {
        w.resize(widthPx, heightPx);
        w.show();
        Pump();
    }
    QWidget* Kid(const char* name) { return w.childWidget(QLatin1String(name)); }
    bool Shown(const char* name) { return Kid(name)->isVisibleTo(&w); }
    // Later in the parent's child list is nearer the front.
    int Stack(const char* name) { return w.children().indexOf(Kid(name)); }
    bool Is15TwipsPerPixel() { return TwipsPerPixelX(&w) == 15.0f && TwipsPerPixelY(&w) == 15.0f; }

    ScanControlWidget w;
};

TEST_F(ScanControlWidgetTest, ChildrenSitWhereTheLayoutPutsThem) {
    if (!Is15TwipsPerPixel()) GTEST_SKIP() << "screen is not at 96 dpi";
    ShowAt(400, 200);  // 6000 x 3000 twips
    EXPECT_FLOAT_EQ(w.control().Width(), 6000);
    EXPECT_FLOAT_EQ(w.control().Height(), 3000);

    const struct {
        const char* name;
        QRect rect;
    } expected[] = {
        {"Command1", {342, 0, 57, 17}}, {"Icon1", {371, 0, 23, 22}}, {"Icon6", {371, 48, 23, 22}},
        {"Image1", {0, 0, 332, 198}},   {"PB", {0, 190, 332, 9}},    {"Text1", {122, 90, 89, 19}},
    };
    for (const auto& e : expected) {
        ASSERT_NE(Kid(e.name), nullptr) << e.name;
        EXPECT_EQ(Kid(e.name)->geometry(), e.rect) << e.name;
    }
    for (const char* icon : {"Icon1", "Icon2", "Icon4", "Icon5", "Icon6", "Image1"}) {
        EXPECT_TRUE(Shown(icon)) << icon;
    }
    for (const char* hidden :
         {"Command1", "Command2", "Command4", "Command5", "Command6", "Text1", "Text2", "PB"}) {
        EXPECT_FALSE(Shown(hidden)) << hidden;
    }
    EXPECT_GT(Stack("Text1"), Stack("PB"));
    EXPECT_GT(Stack("PB"), Stack("Text2"));
    EXPECT_GT(Stack("Text2"), Stack("Image1"));
}

TEST(ScanControlWidgetSurface, APropertySignalsOnceWhenItsValueChanges) {
    test::TempDir dir;
    ScanControlWidget w{Ports{}};
    const QMetaObject* meta = w.metaObject();
    std::map<std::string, std::unique_ptr<QSignalSpy>> spies;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        ASSERT_TRUE(p.hasNotifySignal()) << p.name();
        spies[p.name()] = std::make_unique<QSignalSpy>(&w, p.notifySignal());
    }
    const struct {
        const char* name;
        QVariant value;
    } writes[] = {
        {"FullScreen", 1},   {"ButtonStyle", 1}, {"ShowModeButton", false},
        {"SaveAsPDF", true}, {"Quality", 80},    {"FilePath", QString::fromStdString(dir / "")},
        {"ControlMode", 1},
    };
    for (const auto& write : writes) {
        w.setProperty(write.name, write.value);
        w.setProperty(write.name, write.value);  // the same again: no news
        ASSERT_EQ(spies[write.name]->count(), 1) << write.name;
        EXPECT_EQ(spies[write.name]->at(0).at(0), w.property(write.name)) << write.name;
    }
    w.setProperty("Quality", 101);  // refused: the value stays
    EXPECT_EQ(spies["Quality"]->count(), 1);

    // A command changes what it stores: the text mode's file becomes CurrentName.
    w.StartScan();
    ASSERT_EQ(spies["CurrentName"]->count(), 1);
    EXPECT_EQ(spies["CurrentName"]->at(0).at(0).toString(), w.CurrentName());
    EXPECT_EQ(spies["ImageWidth"]->count(), 0);
}

QImage Sample(int w, int h) {
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            img.setPixelColor(x, y, QColor((x * 40 + y) % 256, (y * 60) % 256, (x * y * 13) % 256));
        }
    }
    return img;
}

bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
        }
    }
    return true;
}

// ---- Pictures between Qt and the control: DIB bytes.

TEST(QtImagesDib, WrittenDibIsTwentyFourBitBottomUpWithPaddedRows) {
    const QImage img = Sample(5, 3);  // 15 bytes a row, padded to 16
    const std::vector<uint8_t> dib = DibFromImage(img);
    ASSERT_EQ(dib.size(), 40u + 16u * 3u);
    // The first stored row is the picture's bottom row, blue first.
    const QColor bottomLeft = img.pixelColor(0, 2);
    EXPECT_EQ(dib[40], bottomLeft.blue());
    EXPECT_EQ(dib[41], bottomLeft.green());
    EXPECT_EQ(dib[42], bottomLeft.red());
    EXPECT_TRUE(SamePixels(ImageFromDib(dib), img));
}

// ---- The preview.

TEST(QtPreviewPort, LoadsAndHandsBackThePictureOrReportsInvalidPicture) {
    test::TempDir dir;
    ScanControlWidget w{Ports{}};
    QtPreview& preview = PreviewOf(w);
    EXPECT_TRUE(preview.PreviewPicture().Empty());

    const QImage img = Sample(30, 20);
    ASSERT_TRUE(img.save(QString::fromStdString(dir / "a.png")));
    w.control().Err().Clear();
    preview.Load(dir / "a.png");
    EXPECT_FALSE(w.control().Err().IsSet());
    const Picture shown = preview.PreviewPicture();
    EXPECT_EQ(shown.width, 30);
    EXPECT_EQ(shown.height, 20);
    EXPECT_TRUE(SamePixels(ImageFromPicture(shown), img));

    test::WriteFile(dir / "broken.jpg", "not a picture");
    for (const std::string& bad : {dir / "missing.jpg", dir / "broken.jpg"}) {
        w.control().Err().Clear();
        preview.Load(bad);
        EXPECT_EQ(w.control().Err().Number(), 481) << bad;
        EXPECT_EQ(preview.image().size(), QSize(30, 20)) << "the old picture stays";
    }

    // Scaled to fit and centred; a small picture is not blown up.
    preview.resize(102, 52);
    EXPECT_EQ(preview.pictureRect(), QRect(36, 16, 30, 20));
    preview.resize(32, 102);
    EXPECT_EQ(preview.pictureRect().size(), QSize(30, 20));
    preview.resize(17, 102);
    EXPECT_EQ(preview.pictureRect().width(), 15);
}

// ---- A Qt host window keeps painting while an upload waits on a server that never answers, and
// may delete the control meanwhile.

class PaintCounter final : public QWidget {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// A host window with the control and a painted neighbour; the control holds a stored text
// file, and its uploads go to a server that takes the connection and never greets.
class UploadPaintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ports.internet = &internet;
        auto* layout = new QVBoxLayout(&window);
        scan = new ScanControlWidget(ports);
        layout->addWidget(scan);
        layout->addWidget(counter);
        window.resize(600, 500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        scan->setFilePath(QString::fromStdString(work.path()));
        scan->setControlMode(1);
        scan->StartScan();  // a text store: the file to upload
        ASSERT_FALSE(scan->CurrentName().isEmpty());
    }
    QString Upload() {
        return scan->UploadFile(QString::fromStdString(silent.address()), "tester", "pw-Secret-42",
                                1);
    }

    test::TempDir work;
    test::SilentListener silent;
    CurlInternet internet{CurlInternet::Timeouts{5000, 5000, 1000}};
    Ports ports;
    QWidget window;
    PaintCounter* counter = new PaintCounter;
    QPointer<ScanControlWidget> scan;
};

TEST_F(UploadPaintTest, TheHostWindowKeepsPaintingWhileTheServerIsSilent) {
    QTimer animation;
    QObject::connect(&animation, &QTimer::timeout, counter, [this] { counter->update(); });
    animation.start(20);
    const int before = counter->paints;
    const QString result = Upload();
    // One second of silence at a frame each 20 ms: far more than a few frames.
    EXPECT_GT(counter->paints - before, 10) << result.toStdString();
    EXPECT_TRUE(result.contains("12002")) << result.toStdString();
}

TEST_F(UploadPaintTest, TheHostMayDeleteTheControlWhileItsUploadWaits) {
    QTimer::singleShot(100, scan.data(), [this] { delete scan.data(); });
    const QString result = Upload();
    EXPECT_TRUE(scan.isNull());
    EXPECT_TRUE(result.contains("12002")) << result.toStdString();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace folioray
