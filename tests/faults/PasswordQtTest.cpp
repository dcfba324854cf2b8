// The Qt demo container's event log, after uploads that fail at a server repeating the
// password: the log shows the server's reply, never the password.
#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "apps/folioray-demo/DemoWindow.h"
#include "platform/qt/ScanControlWidget.h"
#include "tests/faults/FtpPeer.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

const QString kPassword = QStringLiteral("Zq7pW-oR4-Kx9");

TEST(PasswordQtTest, TheDemoLogNeverShowsIt) {
    // Refuses the login, repeating the password in upper case and as given.
    test::FtpPeer echo([](test::FtpPeer::Conn& c) {
        if (!c.Send("220 ready\r\n")) return;
        while (auto line = c.ReadLine()) {
            std::string reply = "331 go on\r\n";
            if (line->rfind("PASS ", 0) == 0) {
                std::string upper = *line;
                for (char& ch : upper) ch = static_cast<char>(std::toupper(ch));
                reply = "530-" + upper + "\r\n530 no to " + *line + "\r\n";
            }
            if (!c.Send(reply)) return;
        }
    });
    test::TempDir dir;
    DemoWindow demo;
    demo.show();
    test::Pump();
    demo.control().setFilePath(QString::fromStdString(dir.path()));
    demo.control().setControlMode(1);
    demo.control().StartScan();
    ASSERT_FALSE(demo.control().CurrentName().isEmpty());

    auto field = [&](const char* name) {
        return demo.findChild<QLineEdit*>(QStringLiteral("upload_") + QLatin1String(name));
    };
    field("server")->setText(QString::fromStdString(echo.address()));
    field("user")->setText(QStringLiteral("tester"));
    field("password")->setText(kPassword);
    field("mode")->setText(QStringLiteral("1"));
    QPushButton* upload = nullptr;
    for (QPushButton* b : demo.findChildren<QPushButton*>()) {
        if (b->text() == QStringLiteral("UploadFile")) upload = b;
    }
    ASSERT_TRUE(upload);
    std::vector<test::SeenWindow> seen;
    {
        test::ModalWatcher watcher(test::RecordAndClose(seen));
        upload->click();
        field("server")->setText(QStringLiteral("127.0.0.1:1"));  // nothing listens there
        upload->click();
    }
    const QString log = demo.findChild<QPlainTextEdit*>(QStringLiteral("eventLog"))->toPlainText();
    EXPECT_TRUE(log.contains(QStringLiteral("UploadFile: 530-PASS ********"))) << log.toStdString();
    EXPECT_FALSE(log.contains(kPassword, Qt::CaseInsensitive)) << log.toStdString();
    EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace folioray
