// The demo container: its editors drive the control, its log keeps no password, and
// --screenshot renders without a display.
#include <gtest/gtest.h>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

#include <cstdlib>

#include "apps/folioray-demo/DemoWindow.h"
#include "platform/qt/ScanControlWidget.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

QPushButton* ButtonIn(QWidget& root, const QString& text, const QString& nearField = {}) {
    for (QPushButton* b : root.findChildren<QPushButton*>()) {
        if (b->text() != text) continue;
        if (nearField.isEmpty()) return b;
        // The Set button on the same row as the named property field.
        auto* field = root.findChild<QLineEdit*>(nearField);
        if (field && field->parentWidget() == b->parentWidget() &&
            std::abs(field->geometry().center().y() - b->geometry().center().y()) < 8) {
            return b;
        }
    }
    return nullptr;
}

TEST(DemoWindow, PropertyEditorsPassScriptValuesAndReadBack) {
    DemoWindow demo;
    demo.show();
    test::Pump();
    auto* mode = demo.findChild<QLineEdit*>(QStringLiteral("prop_ShowModeButton"));
    auto* quality = demo.findChild<QLineEdit*>(QStringLiteral("prop_Quality"));
    ASSERT_TRUE(mode && quality);
    EXPECT_EQ(mode->text(), QStringLiteral("True"));
    EXPECT_TRUE(demo.findChild<QLineEdit*>(QStringLiteral("prop_CurrentName"))->isReadOnly());

    mode->setText(QStringLiteral("false"));  // text, rule three
    ButtonIn(demo, QStringLiteral("Set"), QStringLiteral("prop_ShowModeButton"))->click();
    EXPECT_FALSE(demo.control().ShowModeButton().toBool());
    mode->setText(QStringLiteral("7"));  // a number, rule two
    ButtonIn(demo, QStringLiteral("Set"), QStringLiteral("prop_ShowModeButton"))->click();
    EXPECT_TRUE(demo.control().ShowModeButton().toBool());

    quality->setText(QStringLiteral("101"));
    ButtonIn(demo, QStringLiteral("Set"), QStringLiteral("prop_Quality"))->click();
    EXPECT_EQ(quality->text(), QStringLiteral("60"));  // refused, and the field says so
}

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
