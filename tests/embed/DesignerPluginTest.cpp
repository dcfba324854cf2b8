// The Designer plugin as Designer and QUiLoader use it: loaded from its file, it creates
// the control with default ports, and a form saved with the control's properties loads
// back with them.
#include <gtest/gtest.h>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QXmlStreamReader>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <QtUiTools/QUiLoader>
#include <iterator>
#include <memory>

#include "platform/qt/ScanControlWidget.h"
#include "tests/qt/QtTestSupport.h"

namespace folioray {
namespace {

class DesignerPluginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loader_.setFileName(QStringLiteral(FOLIORAY_DESIGNER_PLUGIN));
        ASSERT_TRUE(loader_.load()) << loader_.errorString().toStdString();
        plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader_.instance());
        ASSERT_NE(plugin, nullptr);
    }

    QPluginLoader loader_;
    QDesignerCustomWidgetInterface* plugin = nullptr;
};

TEST_F(DesignerPluginTest, DescribesTheControlForTheWidgetBox) {
    EXPECT_EQ(plugin->name(), QStringLiteral("folioray::ScanControlWidget"));
    EXPECT_EQ(plugin->group(), QStringLiteral("Document Capture"));
    EXPECT_FALSE(plugin->isContainer());
    EXPECT_FALSE(plugin->icon().isNull());
    EXPECT_FALSE(plugin->toolTip().isEmpty());
    // uic writes this include into the host's generated form; it is an installed header.
    EXPECT_EQ(plugin->includeFile(), QStringLiteral("platform/qt/ScanControlWidget.h"));
    EXPECT_TRUE(QFile::exists(QStringLiteral(FOLIORAY_SOURCE_ROOT "/") + plugin->includeFile()));

    // The entry is shown as "ScanControl" and creates the class by its full name, with a
    // default geometry of its own.
    QXmlStreamReader xml(plugin->domXml());
    QString displayName, widgetClass, objectName;
    int width = 0, height = 0;
    QString element;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            element = xml.name().toString();
            if (element == QLatin1String("ui"))
                displayName = xml.attributes().value(QLatin1String("displayname")).toString();
            if (element == QLatin1String("widget") && widgetClass.isEmpty()) {
                widgetClass = xml.attributes().value(QLatin1String("class")).toString();
                objectName = xml.attributes().value(QLatin1String("name")).toString();
            }
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            if (element == QLatin1String("width")) width = xml.text().toInt();
            if (element == QLatin1String("height")) height = xml.text().toInt();
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(displayName, QStringLiteral("ScanControl"));
    EXPECT_EQ(widgetClass, plugin->name());
    EXPECT_EQ(objectName, QStringLiteral("scanControl"));
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
}

TEST_F(DesignerPluginTest, CreatesTheControlWithEveryPropertyByItsOwnName) {
    QWidget form;
    QWidget* created = plugin->createWidget(&form);
    auto* control = qobject_cast<ScanControlWidget*>(created);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), &form);
    // Default ports: the real adapters of this build, so the form works as designed.
    EXPECT_NE(control->defaultPorts(), nullptr);
    EXPECT_NE(control->ports().scanner, nullptr);

    const struct {
        const char* name;
        bool writable;
    } expected[] = {
        {"FullScreen", true},     {"ButtonStyle", true},  {"CurrentName", false},
        {"ShowModeButton", true}, {"SaveAsPDF", true},    {"ControlMode", true},
        {"ImageWidth", false},    {"ImageHeight", false}, {"ImageSize", false},
        {"Quality", true},        {"FilePath", true},     {"ScanDialog", true},
    };
    // The property editor lists the class's own properties in declaration order.
    const QMetaObject* meta = control->metaObject();
    ASSERT_EQ(meta->propertyCount() - meta->propertyOffset(),
              static_cast<int>(std::size(expected)));
    for (int i = 0; i < static_cast<int>(std::size(expected)); ++i) {
        const QMetaProperty p = meta->property(meta->propertyOffset() + i);
        EXPECT_STREQ(p.name(), expected[i].name);
        EXPECT_EQ(p.isWritable(), expected[i].writable) << expected[i].name;
        EXPECT_TRUE(p.isDesignable()) << expected[i].name;
        EXPECT_TRUE(p.isReadable()) << expected[i].name;
    }
    EXPECT_GE(meta->indexOfSignal("ScanComplete(QString)"), 0);
}

// A form saved by Designer: the control's properties come back through the loader, and an
// out-of-range value is refused as a script's would be.
TEST_F(DesignerPluginTest, FormsWithTheControlLoadWithTheirProperties) {
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(QFileInfo(QStringLiteral(FOLIORAY_DESIGNER_PLUGIN)).absolutePath());
    EXPECT_TRUE(loader.availableWidgets().contains(QStringLiteral("folioray::ScanControlWidget")));

    QFile ui(QStringLiteral(FOLIORAY_SOURCE_ROOT "/examples/host-form/HostForm.ui"));
    ASSERT_TRUE(ui.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> form(loader.load(&ui));
    ASSERT_NE(form, nullptr) << loader.errorString().toStdString();
    auto* control = form->findChild<ScanControlWidget*>(QStringLiteral("scanControl"));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->Quality(), 80);
    EXPECT_EQ(control->ButtonStyle(), 1);
    EXPECT_FALSE(control->SaveAsPDF().toBool());

    const QByteArray saved =
        "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"f\">"
        "<widget class=\"folioray::ScanControlWidget\" name=\"c\">"
        "<property name=\"Quality\"><number>101</number></property>"
        "<property name=\"FullScreen\"><number>5</number></property>"
        "<property name=\"SaveAsPDF\"><bool>true</bool></property>"
        "<property name=\"ShowModeButton\"><bool>false</bool></property>"
        "<property name=\"ControlMode\"><number>1</number></property>"
        "</widget></widget></ui>";
    QBuffer buffer;
    buffer.setData(saved);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> second(loader.load(&buffer));
    ASSERT_NE(second, nullptr) << loader.errorString().toStdString();
    auto* c = second->findChild<ScanControlWidget*>(QStringLiteral("c"));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Quality(), 60);
    EXPECT_EQ(c->FullScreen(), 1);
    EXPECT_TRUE(c->SaveAsPDF().toBool());
    EXPECT_FALSE(c->ShowModeButton().toBool());
    EXPECT_EQ(c->ControlMode(), 1);
}

// A .ui file sets the geometry first and the properties after it, all before the first
// show; the control keeps the size it was given whichever property comes first.
TEST_F(DesignerPluginTest, FormsKeepTheDesignedSizeWhateverThePropertyOrder) {
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(QFileInfo(QStringLiteral(FOLIORAY_DESIGNER_PLUGIN)).absolutePath());
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
