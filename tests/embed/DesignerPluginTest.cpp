// The Designer plugin as QUiLoader uses it: a form loads with the size it was designed at.
#include <gtest/gtest.h>
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QtUiTools/QUiLoader>
#include <memory>

#include "folioray2/ScanControlWidget.h"
#include "tests/qt/QtTestSupport.h"

namespace folioray {
namespace {

class DesignerPluginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loader.clearPluginPaths();
        loader.addPluginPath(QFileInfo(QStringLiteral(FOLIORAY_DESIGNER_PLUGIN)).absolutePath());
        ASSERT_TRUE(
            loader.availableWidgets().contains(QStringLiteral("folioray::ScanControlWidget")));
    }
    QUiLoader loader;
};

// A .ui file sets the geometry first and the properties after it, all before the first
// show; the control keeps the size it was given whichever property comes first.
TEST_F(DesignerPluginTest, FormsKeepTheDesignedSizeWhateverThePropertyOrder) {
    const QByteArray geometry =
        "<property name=\"geometry\"><rect><x>10</x><y>20</y><width>400</width>"
        "<height>200</height></rect></property>";
    const QByteArray style = "<property name=\"ButtonStyle\"><number>1</number></property>";
    const QByteArray full = "<property name=\"FullScreen\"><number>1</number></property>";
    for (const QByteArray& props : {geometry + style + full, geometry + full + style,
                                    style + full + geometry, geometry + style}) {
        QBuffer buffer;
        buffer.setData(
            "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"f\">"
            "<property name=\"geometry\"><rect><x>0</x><y>0</y><width>640</width>"
            "<height>480</height></rect></property>"
            "<widget class=\"folioray::ScanControlWidget\" name=\"c\">" +
            props + "</widget></widget></ui>");
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        std::unique_ptr<QWidget> form(loader.load(&buffer));
        ASSERT_NE(form, nullptr) << loader.errorString().toStdString();
        auto* c = form->findChild<ScanControlWidget*>(QStringLiteral("c"));
        ASSERT_NE(c, nullptr);
        form->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(c->geometry(), QRect(10, 20, 400, 200)) << props.toStdString();
        EXPECT_EQ(c->childWidget(QStringLiteral("Command1"))->isVisible(), true);
    }
}

}  // namespace
}  // namespace folioray
