#include "apps/folioray-demo/DemoWindow.h"

#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

#include "platform/qt/ScanControlWidget.h"

namespace folioray {

namespace {

QString Shown(const QVariant& v) {
    if (!v.isValid()) return QStringLiteral("<empty>");
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

}  // namespace

QVariant ScriptValue(const QString& text) {
    bool whole = false;
    const qlonglong n = text.toLongLong(&whole);
    if (whole && !text.contains(QLatin1Char(' ')) && n >= INT_MIN && n <= INT_MAX) {
        return QVariant(static_cast<int>(n));
    }
    return QVariant(text);
}

DemoWindow::DemoWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Folioray2 demo container"));

    control_ = new ScanControlWidget(this);
    fileName_ = new QLineEdit(this);
    fileName_->setObjectName(QStringLiteral("fileName"));
    fileName_->setPlaceholderText(QStringLiteral("PasteName types the stored file's path here"));
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("eventLog"));
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(2000);

    // The page: the control as the page placed it, and a form field beside it.
    auto* page = new QGroupBox(QStringLiteral("Page"), this);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(control_, 0, Qt::AlignLeft | Qt::AlignTop);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("File name:"), page));
    nameRow->addWidget(fileName_, 1);
    pageLayout->addLayout(nameRow);
    pageLayout->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(page, 1);
    top->addWidget(BuildProperties());

    auto* logBox = new QGroupBox(QStringLiteral("Event log"), this);
    auto* logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(log_);

    auto* root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(BuildMethods());
    root->addWidget(BuildUpload());
    root->addWidget(logBox, 1);

    connect(control_, &ScanControlWidget::ScanComplete, this, [this](const QString& name) {
        Log(QStringLiteral("ScanComplete: ") + name);
        RefreshProperties();
    });
    RefreshProperties();
    Log(QStringLiteral("Ready. Right-click the preview to paste a picture from the clipboard."));
    resize(900, 640);
}

void DemoWindow::Log(const QString& line) {
    log_->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss  ")) + line);
}

QWidget* DemoWindow::BuildProperties() {
    auto* box = new QGroupBox(QStringLiteral("Properties"), this);
    auto* form = new QGridLayout(box);
    const QMetaObject* meta = control_->metaObject();
    int row = 0;
    // Every property the control declares itself, as a script would see them.
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i, ++row) {
        const QMetaProperty prop = meta->property(i);
        auto* value = new QLineEdit(box);
        value->setObjectName(QStringLiteral("prop_") + QLatin1String(prop.name()));
        form->addWidget(new QLabel(QLatin1String(prop.name()), box), row, 0);
        form->addWidget(value, row, 1);
        rows_.push_back({prop, value});
        if (prop.isWritable()) {
            auto* set = new QPushButton(QStringLiteral("Set"), box);
            form->addWidget(set, row, 2);
            const PropertyRow entry = rows_.back();
            connect(set, &QPushButton::clicked, this, [this, entry] { WriteProperty(entry); });
            connect(value, &QLineEdit::returnPressed, this,
                    [this, entry] { WriteProperty(entry); });
        } else {
            value->setReadOnly(true);
        }
    }
    return box;
}

void DemoWindow::WriteProperty(const PropertyRow& row) {
    const QString text = row.value->text();
    QVariant value;
    if (row.property.typeId() == QMetaType::QString) {
        value = text;
    } else if (row.property.typeId() == QMetaType::Int) {
        bool ok = false;
        const int n = text.trimmed().toInt(&ok);
        if (!ok) {
            Log(QStringLiteral("%1: \"%2\" is not a whole number").arg(row.property.name(), text));
            return;
        }
        value = n;
    } else {
        value = ScriptValue(text);
    }
    row.property.write(control_, value);
    RefreshProperties();
    Log(QStringLiteral("%1 = %2 -> reads %3")
            .arg(QLatin1String(row.property.name()), text, Shown(row.property.read(control_))));
}

void DemoWindow::RefreshProperties() {
    for (const PropertyRow& row : rows_) {
        if (row.value->hasFocus()) continue;  // keep what the user is typing
        row.value->setText(Shown(row.property.read(control_)));
        row.value->setCursorPosition(0);
    }
}

QWidget* DemoWindow::BuildMethods() {
    auto* box = new QGroupBox(QStringLiteral("Methods"), this);
    auto* row = new QHBoxLayout(box);
    auto* scan = new QPushButton(QStringLiteral("StartScan"), box);
    auto* paste = new QPushButton(QStringLiteral("PasteName"), box);
    paste->setToolTip(QStringLiteral("Focuses the file-name field, then calls PasteName"));
    sizeW_ = new QSpinBox(box);
    sizeH_ = new QSpinBox(box);
    for (QSpinBox* s : {sizeW_, sizeH_}) s->setRange(-100000, 100000);
    sizeW_->setValue(400);
    sizeH_->setValue(200);
    auto* setSize = new QPushButton(QStringLiteral("SetSize"), box);
    row->addWidget(scan);
    row->addWidget(paste);
    row->addSpacing(16);
    row->addWidget(new QLabel(QStringLiteral("width"), box));
    row->addWidget(sizeW_);
    row->addWidget(new QLabel(QStringLiteral("height"), box));
    row->addWidget(sizeH_);
    row->addWidget(setSize);
    row->addStretch(1);

    connect(scan, &QPushButton::clicked, this, [this] {
        Log(QStringLiteral("StartScan()"));
        control_->StartScan();
        RefreshProperties();
    });
    connect(paste, &QPushButton::clicked, this, [this] {
        // A page focuses its field first; the keys go to whatever has the focus.
        fileName_->setFocus(Qt::OtherFocusReason);
        Log(QStringLiteral("PasteName()"));
        control_->PasteName();
    });
    connect(setSize, &QPushButton::clicked, this, [this] {
        control_->SetSize(sizeW_->value(), sizeH_->value());
        Log(QStringLiteral("SetSize(%1, %2) -> %3 x %4 pixels")
                .arg(sizeW_->value())
                .arg(sizeH_->value())
                .arg(control_->width())
                .arg(control_->height()));
    });
    return box;
}

QWidget* DemoWindow::BuildUpload() {
    auto* box = new QGroupBox(QStringLiteral("UploadFile"), this);
    auto* form = new QGridLayout(box);
    server_ = new QLineEdit(QStringLiteral("127.0.0.1"), box);
    user_ = new QLineEdit(QStringLiteral("anonymous"), box);
    password_ = new QLineEdit(box);
    password_->setEchoMode(QLineEdit::Password);
    mode_ = new QLineEdit(box);
    mode_->setPlaceholderText(QStringLiteral("omitted (0 active, 1 passive)"));
    remoteName_ = new QLineEdit(box);
    remoteName_->setPlaceholderText(QStringLiteral("omitted"));
    remoteDir_ = new QLineEdit(box);
    remoteDir_->setPlaceholderText(QStringLiteral("omitted"));
    const std::pair<const char*, QLineEdit*> fields[] = {
        {"server", server_},          {"user", user_},
        {"password", password_},      {"mode", mode_},
        {"remote name", remoteName_}, {"directory", remoteDir_}};
    int i = 0;
    for (const auto& [label, edit] : fields) {
        edit->setObjectName(QStringLiteral("upload_") + QString(QLatin1String(label)).remove(' '));
        form->addWidget(new QLabel(QLatin1String(label), box), i / 3, (i % 3) * 2);
        form->addWidget(edit, i / 3, (i % 3) * 2 + 1);
        ++i;
    }
    auto* upload = new QPushButton(QStringLiteral("UploadFile"), box);
    form->addWidget(upload, 0, 6, 2, 1);

    connect(upload, &QPushButton::clicked, this, [this] {
        auto optional = [](const QLineEdit* e) {
            return e->text().isEmpty() ? QVariant() : ScriptValue(e->text());
        };
        // The password is passed on but never written to the log.
        Log(QStringLiteral("UploadFile(%1, %2, ********, %3, %4, %5)...")
                .arg(server_->text(), user_->text(), Shown(optional(mode_)),
                     Shown(optional(remoteName_)), Shown(optional(remoteDir_))));
        const QString result = control_->UploadFile(
            QVariant(server_->text()), QVariant(user_->text()), QVariant(password_->text()),
            optional(mode_), optional(remoteName_), optional(remoteDir_));
        Log(result.isEmpty() ? QStringLiteral("UploadFile: done")
                             : QStringLiteral("UploadFile: ") + result);
    });
    return box;
}

}  // namespace folioray
