// The demo container renders with --screenshot and exits, without a display.
#include <gtest/gtest.h>
#include <QImage>
#include <QProcess>

#include "tests/support/TempDir.h"

namespace folioray {
namespace {

TEST(DemoWindow, ScreenshotOptionRendersAndExits) {
    test::TempDir dir;
    const QString exe = QStringLiteral(FOLIORAY_DEMO_EXE);
    const QString shot = QString::fromStdString(dir / "demo.png");
    QProcess demo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    demo.setProcessEnvironment(env);
    demo.start(exe, {QStringLiteral("--screenshot"), shot});
    ASSERT_TRUE(demo.waitForFinished(60000)) << exe.toStdString();
    EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(demo.exitCode(), 0) << demo.readAllStandardError().toStdString();
    const QImage image(shot);
    EXPECT_GE(image.width(), 400);
    EXPECT_GE(image.height(), 200);
}

}  // namespace
}  // namespace folioray
