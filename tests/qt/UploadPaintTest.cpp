// A Qt host window keeps painting while an upload waits on a server that never answers,
// and may delete the control meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/curl/CurlInternet.h"
#include "platform/qt/ScanControlWidget.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/upload/UploadTestUtil.h"

namespace folioray {
namespace {

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
