#pragma once
// A host's form: a file-name field and the control, laid out in Qt Widgets Designer
// (HostForm.ui). When a page has been stored, its path is typed into the field.
#include <QWidget>
#include <memory>

class QLineEdit;

namespace Ui {
class HostForm;
}
namespace folioray {
class ScanControlWidget;
}

class HostForm : public QWidget {
    Q_OBJECT

  public:
    explicit HostForm(QWidget* parent = nullptr);
    ~HostForm() override;

    folioray::ScanControlWidget& control();
    QLineEdit& fileName();

  signals:
    void pageStored(const QString& fileName);

  private:
    void OnScanComplete(const QString& fileName);

    std::unique_ptr<Ui::HostForm> ui_;
};
