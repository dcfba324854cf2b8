#pragma once
// Qt Widgets Designer's view of the control: a widget-box entry "ScanControl" in the
// "Document Capture" group that creates a folioray::ScanControlWidget, so a form designer
// drops it on a form and sets its properties in the property editor.
#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace folioray {

class ScanControlPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

  public:
    explicit ScanControlPlugin(QObject* parent = nullptr);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override;
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override;
    void initialize(QDesignerFormEditorInterface* core) override;
    QString domXml() const override;

  private:
    bool initialized_ = false;
};

}  // namespace folioray
