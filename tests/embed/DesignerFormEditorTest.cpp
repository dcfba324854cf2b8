// The control in Qt Widgets Designer's own form editor (its widget box, property sheet and
// form writer), as a form designer meets it; the saved form then loads with QUiLoader.
#include <gtest/gtest.h>
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QtDesigner/QDesignerComponents>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>
#include <QtDesigner/QDesignerFormWindowManagerInterface>
#include <QtDesigner/QDesignerIntegration>
#include <QtDesigner/QDesignerPropertyEditorInterface>
#include <QtDesigner/QDesignerPropertySheetExtension>
#include <QtDesigner/QDesignerWidgetBoxInterface>
#include <QtDesigner/QExtensionManager>
#include <QtUiTools/QUiLoader>
#include <memory>

#include "folioray2/ScanControlWidget.h"
#include "tests/qt/QtTestSupport.h"
#include "tests/support/TempDir.h"

namespace folioray {
namespace {

const QString kClass = QStringLiteral("folioray::ScanControlWidget");
const QString kPluginDir = QFileInfo(QStringLiteral(FOLIORAY_DESIGNER_PLUGIN)).absolutePath();

class DesignerFormEditorTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Designer keeps settings; they go to a folder of the test's own.
        settings_ = new test::TempDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(settings_->path()));
        // Designer looks for plugins in <library path>/designer.
        QCoreApplication::addLibraryPath(QFileInfo(kPluginDir).absolutePath());
        QDesignerComponents::initializeResources();
        core_ = QDesignerComponents::createFormEditor(nullptr);
        new QDesignerIntegration(core_, core_);
        QDesignerComponents::initializePlugins(core_);
        core_->setWidgetBox(QDesignerComponents::createWidgetBox(core_, nullptr));
        core_->setPropertyEditor(QDesignerComponents::createPropertyEditor(core_, nullptr));
    }
    static void TearDownTestSuite() {
        delete core_->propertyEditor();
        delete core_->widgetBox();
        delete core_;
        core_ = nullptr;
        delete settings_;
        settings_ = nullptr;
    }

    static QDesignerWidgetBoxInterface::Widget BoxEntry() {
        QDesignerWidgetBoxInterface* box = core_->widgetBox();
        for (int c = 0; c < box->categoryCount(); ++c) {
            const QDesignerWidgetBoxInterface::Category category = box->category(c);
            if (category.name() != QLatin1String("Document Capture")) continue;
            for (int w = 0; w < category.widgetCount(); ++w) {
                if (category.widget(w).name() == QLatin1String("ScanControl"))
                    return category.widget(w);
            }
        }
        return {};
    }

    static inline QDesignerFormEditorInterface* core_ = nullptr;
    static inline test::TempDir* settings_ = nullptr;
};

TEST_F(DesignerFormEditorTest, PropertiesAreEditedByTheirOwnNamesAndSavedWithTheForm) {
    QDesignerFormWindowInterface* form = core_->formWindowManager()->createFormWindow(nullptr);
    std::unique_ptr<QWidget> owner(form);
    // What dropping the widget-box entry onto an empty form gives.
    QString dom = BoxEntry().domXml();
    ASSERT_FALSE(dom.isEmpty()) << "no ScanControl in the widget box; plugins from "
                                << kPluginDir.toStdString();
    dom.replace(QRegularExpression(QStringLiteral("<ui[^>]*>")),
                QStringLiteral("<ui version=\"4.0\"><class>Form</class>"
                               "<widget class=\"QWidget\" name=\"Form\">"));
    dom.replace(QStringLiteral("</ui>"), QStringLiteral("</widget></ui>"));
    ASSERT_TRUE(form->setContents(dom));
    core_->formWindowManager()->setActiveFormWindow(form);
    auto* control =
        form->mainContainer()->findChild<ScanControlWidget*>(QStringLiteral("scanControl"));
    ASSERT_NE(control, nullptr);

    auto* sheet =
        qt_extension<QDesignerPropertySheetExtension*>(core_->extensionManager(), control);
    ASSERT_NE(sheet, nullptr);
    // Read-only properties are run-time facts and stay out of the editor; the Variant ones
    // are edited as check boxes.
    for (const char* name : {"CurrentName", "ImageWidth", "ImageHeight", "ImageSize"})
        EXPECT_FALSE(sheet->isVisible(sheet->indexOf(QLatin1String(name)))) << name;
    EXPECT_EQ(sheet->property(sheet->indexOf(QStringLiteral("SaveAsPDF"))).typeId(),
              QMetaType::Bool);

    // The property editor writes through the sheet; the form file keeps what was changed.
    core_->propertyEditor()->setObject(control);
    for (const auto& [name, value] :
         {std::pair{"Quality", QVariant(85)}, std::pair{"SaveAsPDF", QVariant(true)},
          std::pair{"ButtonStyle", QVariant(1)}}) {
        const int i = sheet->indexOf(QLatin1String(name));
        sheet->setProperty(i, value);
        sheet->setChanged(i, true);
    }
    EXPECT_EQ(control->Quality(), 85);
    EXPECT_EQ(control->ButtonStyle(), 1);
    const QString saved = form->contents();
    EXPECT_TRUE(saved.contains(QStringLiteral("<header>folioray2/ScanControlWidget.h</header>")))
        << saved.toStdString();

    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(kPluginDir);
    QBuffer file;
    file.setData(saved.toUtf8());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> loaded(loader.load(&file));
    ASSERT_NE(loaded, nullptr) << loader.errorString().toStdString();
    auto* again = loaded->findChild<ScanControlWidget*>(QStringLiteral("scanControl"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->Quality(), 85);
    EXPECT_TRUE(again->SaveAsPDF().toBool());
    EXPECT_EQ(again->ButtonStyle(), 1);
}

}  // namespace
}  // namespace folioray
