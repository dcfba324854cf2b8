// The demo container renders the form or one of the scanner's dialogs and exits, without a
// display.
#include <gtest/gtest.h>
#include <QImage>
#include <QProcess>

#include "tests/acquire/SaneTestDevice.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

TEST(DemoWindow, ScreenshotOptionsRenderTheFormOrADialogAndExit) {
    const struct {
        QStringList args;
        int minWidth, minHeight;
    } cases[] = {{{QStringLiteral("--screenshot")}, 400, 200},
                 {{QStringLiteral("--screenshot-dialog"), QStringLiteral("source")}, 200, 100},
                 {{QStringLiteral("--screenshot-dialog"), QStringLiteral("settings")}, 150, 150}};
    for (const auto& c : cases) {
        test::TempDir dir;
        const QString exe = QStringLiteral(FOLIORAY_DEMO_EXE);
        const QString shot = QString::fromStdString(dir / "demo.png");
        QProcess demo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SANE_CONFIG_DIR"),
                   QString::fromStdString(test::SaneConfigDir()));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.path()));
        demo.setProcessEnvironment(env);
        demo.start(exe, c.args + QStringList{shot});
        ASSERT_TRUE(demo.waitForFinished(60000)) << exe.toStdString();
        EXPECT_EQ(demo.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(demo.exitCode(), 0) << demo.readAllStandardError().toStdString();
        const QImage image(shot);
        EXPECT_GE(image.width(), c.minWidth) << c.args.join(' ').toStdString();
        EXPECT_GE(image.height(), c.minHeight) << c.args.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace folioray
