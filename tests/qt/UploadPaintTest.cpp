// A Qt host window keeps painting while an upload waits on a server that never answers.
#include <gtest/gtest.h>

#include <QApplication>
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

TEST(UploadPaintTest, TheHostWindowKeepsPaintingWhileTheServerIsSilent) {
    test::TempDir work;
    test::SilentListener silent;  // takes the connection and never greets
    CurlInternet internet{CurlInternet::Timeouts{5000, 5000, 1000}};
    Ports ports;
    ports.internet = &internet;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* scan = new ScanControlWidget(ports);
    auto* counter = new PaintCounter;
    layout->addWidget(scan);
    layout->addWidget(counter);
    window.resize(600, 500);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    scan->setFilePath(QString::fromStdString(work.path()));
    scan->setControlMode(1);
    scan->StartScan();  // a text store: the file to upload
    ASSERT_FALSE(scan->CurrentName().isEmpty());

    QTimer animation;
    QObject::connect(&animation, &QTimer::timeout, counter, [counter] { counter->update(); });
    animation.start(20);
    const int before = counter->paints;
    const QString result =
        scan->UploadFile(QString::fromStdString(silent.address()), "tester", "pw-Secret-42", 1);
    // One second of silence at a frame each 20 ms: far more than a few frames.
    EXPECT_GT(counter->paints - before, 10) << result.toStdString();
    EXPECT_TRUE(result.contains("12002")) << result.toStdString();
}

}  // namespace
}  // namespace folioray
