#pragma once
// The demo container: a form with the control, a file-name field, an editor row per
// property, the methods with their arguments, and a log of what happened.
#include <QLineEdit>
#include <QMetaProperty>
#include <QWidget>
#include <vector>

class QPlainTextEdit;
class QSpinBox;

namespace folioray {

class ScanControlWidget;

class DemoWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit DemoWindow(QWidget* parent = nullptr);
    ScanControlWidget& control() { return *control_; }
    QLineEdit& fileName() { return *fileName_; }
    void Log(const QString& line);
    // Reads every property back into its field.
    void RefreshProperties();

  private:
    struct PropertyRow {
        QMetaProperty property;
        QLineEdit* value;
    };

    QWidget* BuildProperties();
    QWidget* BuildMethods();
    QWidget* BuildUpload();
    void WriteProperty(const PropertyRow& row);

    ScanControlWidget* control_;
    QLineEdit* fileName_;
    QPlainTextEdit* log_;
    std::vector<PropertyRow> rows_;
    QSpinBox* sizeW_ = nullptr;
    QSpinBox* sizeH_ = nullptr;
    QLineEdit* server_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* mode_ = nullptr;
    QLineEdit* remoteName_ = nullptr;
    QLineEdit* remoteDir_ = nullptr;
};

// A script's value from typed text: a whole number becomes a number, an empty field is
// an omitted value, anything else stays text.
QVariant ScriptValue(const QString& text);

}  // namespace folioray
