#include "HostForm.h"

#include <folioray2/ScanControlWidget.h>

#include "ui_HostForm.h"

HostForm::HostForm(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::HostForm>()) {
    ui_->setupUi(this);
    connect(ui_->scanControl, &folioray::ScanControlWidget::ScanComplete, this,
            &HostForm::OnScanComplete);
}

HostForm::~HostForm() = default;

folioray::ScanControlWidget& HostForm::control() {
    return *ui_->scanControl;
}

QLineEdit& HostForm::fileName() {
    return *ui_->fileName;
}

void HostForm::OnScanComplete(const QString& fileName) {
    emit pageStored(fileName);
    // PasteName types into the focused field of this window.
    ui_->fileName->setFocus();
    ui_->scanControl->PasteName();
}
