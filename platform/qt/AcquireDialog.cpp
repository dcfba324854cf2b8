#include "platform/qt/AcquireDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace folioray {

namespace {

struct Paper {
    const char* name;
    double width, height;  // mm; 0: the whole bed or the user's own size
};

constexpr Paper kPapers[] = {{"A4", 210, 297},         {"A5", 148, 210},        {"A6", 105, 148},
                             {"Letter", 215.9, 279.4}, {"Legal", 215.9, 355.6}, {"Full bed", 0, 0},
                             {"Custom", 0, 0}};
constexpr int kFullBed = 5;
constexpr int kCustom = 6;

const char* const kFront[] = {"mode", "resolution", "depth"};
const char* const kArea[] = {"tl-x", "tl-y", "br-x", "br-y"};

bool IsFront(const std::string& name) {
    return std::find(std::begin(kFront), std::end(kFront), name) != std::end(kFront);
}
bool IsArea(const std::string& name) {
    return std::find(std::begin(kArea), std::end(kArea), name) != std::end(kArea);
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string ValueOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QCheckBox*>(w)) return b->isChecked() ? "yes" : "no";
    if (auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText().toStdString();
    if (auto* s = qobject_cast<const QSpinBox*>(w)) return std::to_string(s->value());
    if (auto* d = qobject_cast<const QDoubleSpinBox*>(w)) return Number(d->value());
    if (auto* l = qobject_cast<const QLineEdit*>(w)) return l->text().toStdString();
    return {};
}

void SetValue(QWidget* w, const QString& v) {
    if (auto* b = qobject_cast<QCheckBox*>(w)) {
        b->setChecked(v == QLatin1String("yes"));
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        const int i = c->findText(v);
        if (i >= 0) c->setCurrentIndex(i);
    } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
        bool ok = false;
        const int n = v.toInt(&ok);
        if (ok) s->setValue(n);
    } else if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) {
        bool ok = false;
        const double n = v.toDouble(&ok);
        if (ok) d->setValue(n);
    } else if (auto* l = qobject_cast<QLineEdit*>(w)) {
        l->setText(v);
    }
}

const SaneOption* Find(const std::vector<SaneOption>& options, const char* name) {
    for (const SaneOption& o : options) {
        if (o.name == name) return &o;
    }
    return nullptr;
}

QString GroupOf(const QString& device) {
    QString key = device;
    key.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("Acquire/") + key;
}

}  // namespace

AcquireDialog::AcquireDialog(const QString& device, const std::vector<SaneOption>& options,
                             const QString& settingsFile, QWidget* parent)
    : QDialog(parent), device_(device), settingsFile_(settingsFile), options_(options) {
    setObjectName(QStringLiteral("AcquireDialog"));
    setWindowTitle(QStringLiteral("Scan Settings"));
    setModal(true);

    auto* front = new QFormLayout;
    for (const char* name : kFront) {
        const SaneOption* o = Find(options_, name);
        if (o && o->active && o->settable) AddEditor(*o, this, front);
    }

    // The area as a paper size, when the device gives its bed in millimetres.
    const SaneOption* area[4] = {};
    bool haveArea = true;
    for (int i = 0; i < 4; ++i) {
        area[i] = Find(options_, kArea[i]);
        haveArea = haveArea && area[i] && area[i]->active && area[i]->settable &&
                   area[i]->hasRange && area[i]->unit == "mm";
    }
    if (haveArea) {
        bedLeft_ = area[0]->min;
        bedTop_ = area[1]->min;
        bedRight_ = area[2]->max;
        bedBottom_ = area[3]->max;
        paper_ = new QComboBox(this);
        paper_->setObjectName(QStringLiteral("paper"));
        for (const Paper& p : kPapers) paper_->addItem(QString::fromLatin1(p.name));
        paper_->setCurrentIndex(kFullBed);
        front->addRow(QStringLiteral("Paper size:"), paper_);
        auto makeSide = [this](const char* name, double max) {
            auto* s = new QDoubleSpinBox(this);
            s->setObjectName(QLatin1String(name));
            s->setSuffix(QStringLiteral(" mm"));
            s->setDecimals(1);
            s->setRange(1, max);
            s->setValue(max);
            return s;
        };
        paperWidth_ = makeSide("paper-width", bedRight_ - bedLeft_);
        paperHeight_ = makeSide("paper-height", bedBottom_ - bedTop_);
        front->addRow(QStringLiteral("Width:"), paperWidth_);
        front->addRow(QStringLiteral("Height:"), paperHeight_);
        connect(paper_, &QComboBox::currentIndexChanged, this, [this] { PaperChanged(); });
    }

    // Everything else, grouped as the device groups it, folded away.
    auto* advancedBox = new QWidget;
    auto* advancedLayout = new QVBoxLayout(advancedBox);
    std::map<std::string, QFormLayout*> groups;
    for (const SaneOption& o : options_) {
        // Inactive options are offered too: another choice may bring them into play.
        if (IsFront(o.name) || (haveArea && IsArea(o.name)) || !o.settable ||
            o.type == SaneOption::Type::Button) {
            continue;
        }
        QFormLayout*& form = groups[o.group];
        if (!form) {
            auto* box = new QGroupBox(QString::fromStdString(o.group), advancedBox);
            form = new QFormLayout(box);
            advancedLayout->addWidget(box);
        }
        AddEditor(o, advancedBox, form);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("advancedOptions"));
    scroll->setWidget(advancedBox);
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(260);
    scroll->hide();
    auto* advanced = new QToolButton(this);
    advanced->setObjectName(QStringLiteral("advanced"));
    advanced->setText(QStringLiteral("Advanced"));
    advanced->setCheckable(true);
    advanced->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    advanced->setArrowType(Qt::RightArrow);
    advanced->setEnabled(!groups.empty());
    connect(advanced, &QToolButton::toggled, this, [this, advanced, scroll](bool open) {
        advanced->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        scroll->setVisible(open);
        adjustSize();
    });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* scan = buttons->addButton(QStringLiteral("&Scan"), QDialogButtonBox::AcceptRole);
    scan->setObjectName(QStringLiteral("scan"));
    scan->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(front);
    layout->addWidget(advanced, 0, Qt::AlignLeft);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);

    // The device's last choices come back where they still apply.
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.beginGroup(GroupOf(device_));
    for (auto& [name, editor] : editors_) {
        const QString key = QString::fromStdString(name);
        if (settings.contains(key)) SetValue(editor, settings.value(key).toString());
    }
    if (paper_) {
        SetValue(paperWidth_, settings.value(QStringLiteral("paper-width")).toString());
        SetValue(paperHeight_, settings.value(QStringLiteral("paper-height")).toString());
        SetValue(paper_, settings.value(QStringLiteral("paper")).toString());
        PaperChanged();
    }
}

void AcquireDialog::AddEditor(const SaneOption& o, QWidget* parent, QFormLayout* form) {
    QWidget* editor = nullptr;
    const QString value = QString::fromStdString(o.value);
    if (o.type == SaneOption::Type::Bool) {
        editor = new QCheckBox(parent);
    } else if (!o.choices.empty()) {
        auto* combo = new QComboBox(parent);
        for (const std::string& c : o.choices) combo->addItem(QString::fromStdString(c));
        editor = combo;
    } else if (o.hasRange && o.type == SaneOption::Type::Int) {
        auto* spin = new QSpinBox(parent);
        spin->setRange(static_cast<int>(o.min), static_cast<int>(o.max));
        spin->setSingleStep(std::max(1, static_cast<int>(o.quant)));
        editor = spin;
    } else if (o.hasRange && o.type == SaneOption::Type::Fixed) {
        auto* spin = new QDoubleSpinBox(parent);
        spin->setDecimals(o.quant >= 1 && std::floor(o.quant) == o.quant ? 0 : 2);
        spin->setRange(o.min, o.max);
        spin->setSingleStep(o.quant > 0 ? o.quant : 1);
        editor = spin;
    } else {
        editor = new QLineEdit(parent);
    }
    editor->setObjectName(QString::fromStdString(o.name));
    editor->setToolTip(QString::fromStdString(o.description));
    SetValue(editor, value);
    initial_[o.name] = ValueOf(editor);
    QString label = QString::fromStdString(o.title.empty() ? o.name : o.title);
    if (!o.unit.empty() && o.unit != "pixel")
        label += QStringLiteral(" (%1)").arg(QString::fromStdString(o.unit));
    form->addRow(label + QLatin1Char(':'), editor);
    editors_[o.name] = editor;
}

void AcquireDialog::PaperChanged() {
    const int i = paper_->currentIndex();
    const bool custom = i == kCustom;
    paperWidth_->setEnabled(custom);
    paperHeight_->setEnabled(custom);
    if (i == kFullBed) {
        paperWidth_->setValue(paperWidth_->maximum());
        paperHeight_->setValue(paperHeight_->maximum());
    } else if (!custom && i >= 0) {
        paperWidth_->setValue(kPapers[i].width);
        paperHeight_->setValue(kPapers[i].height);
    }
}

std::vector<SaneScanner::Option> AcquireDialog::Chosen() const {
    std::vector<SaneScanner::Option> chosen;
    for (const char* name : kFront) {
        auto it = editors_.find(name);
        if (it != editors_.end()) chosen.emplace_back(name, ValueOf(it->second));
    }
    if (paper_) {
        // A paper larger than the bed gets what the bed has.
        const double right = std::min(bedRight_, bedLeft_ + paperWidth_->value());
        const double bottom = std::min(bedBottom_, bedTop_ + paperHeight_->value());
        chosen.emplace_back("tl-x", Number(bedLeft_));
        chosen.emplace_back("tl-y", Number(bedTop_));
        chosen.emplace_back("br-x", Number(right));
        chosen.emplace_back("br-y", Number(bottom));
    }
    // Only what the user changed (now or last time): the device keeps the rest.
    for (const SaneOption& o : options_) {
        auto it = editors_.find(o.name);
        if (it == editors_.end() || IsFront(o.name)) continue;
        const std::string v = ValueOf(it->second);
        if (v != initial_.at(o.name)) chosen.emplace_back(o.name, v);
    }
    Remember(chosen);
    return chosen;
}

void AcquireDialog::Remember(const std::vector<SaneScanner::Option>& chosen) const {
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.beginGroup(GroupOf(device_));
    settings.remove(QString());
    for (const auto& [name, value] : chosen) {
        if (!IsArea(name)) {
            settings.setValue(QString::fromStdString(name), QString::fromStdString(value));
        }
    }
    if (paper_) {
        settings.setValue(QStringLiteral("paper"), paper_->currentText());
        settings.setValue(QStringLiteral("paper-width"), paperWidth_->value());
        settings.setValue(QStringLiteral("paper-height"), paperHeight_->value());
    }
}

}  // namespace folioray
