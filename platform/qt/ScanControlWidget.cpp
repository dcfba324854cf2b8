#include "platform/qt/ScanControlWidget.h"

#include <QEvent>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "control/ScanControl.h"
#include "platform/qt/DefaultPorts.h"
#include "platform/qt/PictureButton.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/QtPreview.h"
#include "runtime/ScopedFlag.h"

namespace folioray {

namespace {

constexpr Child kPushButtons[] = {Child::Command1, Child::Command2, Child::Command4,
                                  Child::Command5, Child::Command6};
constexpr Child kPictureButtons[] = {Child::Icon1, Child::Icon2, Child::Icon4, Child::Icon5,
                                     Child::Icon6};

// The editor keeps the Windows line breaks the text store writes; Qt edits with "\n".
std::string ToModelText(const QString& text) {
    QString crlf = text;
    crlf.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return crlf.toStdString();
}

QString FromModelText(const std::string& text) {
    QString lf = QString::fromStdString(text);
    lf.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return lf;
}

int64_t Permille(int value, int lo, int hi) {
    return hi > lo ? (int64_t{value} - lo) * 1000 / (int64_t{hi} - lo) : 0;
}

int ClampToInt(float v) {
    if (std::isnan(v)) return 0;
    if (v <= -2147483648.0f) return std::numeric_limits<int>::min();
    if (v >= 2147483647.0f) return std::numeric_limits<int>::max();
    return static_cast<int>(std::lround(v));
}

}  // namespace

struct ScanControlWidget::Parts {
    std::unique_ptr<QtClipboard> clipboard;
    std::unique_ptr<QtHost> host;
    std::unique_ptr<DefaultPorts> defaults;
    QPointer<QtPreview> preview;  // the widget's child, until the widget goes first
    bool ownsPreview = false;
    std::unique_ptr<ScanControl> control;  // declared last: it goes before its ports

    ~Parts() {
        control.reset();
        // Later: the last reference may be dropped inside one of the preview's own events.
        if (ownsPreview && preview) preview->deleteLater();
    }
};

ScanControlWidget::ScanControlWidget(QWidget* parent)
    : QWidget(parent), parts_(std::make_shared<Parts>()) {
    parts_->clipboard = std::make_unique<QtClipboard>();
    clipboard_ = parts_->clipboard.get();
    // The scanner hands its pages over through the same clipboard the control reads.
    parts_->defaults = std::make_unique<DefaultPorts>(clipboard_);
    defaults_ = parts_->defaults.get();
    Build(defaults_->ports());
    defaults_->Attach(*host_, this);
}

ScanControlWidget::ScanControlWidget(const Ports& ports, QWidget* parent)
    : QWidget(parent), parts_(std::make_shared<Parts>()) {
    Build(ports);
}

ScanControlWidget::~ScanControlWidget() {
    timer1_.stop();
    if (parts_.use_count() > 1) {
        // A call into the core waits further down the stack: its parts stay until it
        // returns, without this widget.
        host_->Detach();
        if (defaults_) defaults_->Detach();
        if (preview_) {
            preview_->hide();
            preview_->setParent(nullptr);
            parts_->ownsPreview = true;
        }
    }
    parts_.reset();
}

void ScanControlWidget::Build(const Ports& given) {
    setObjectName(QStringLiteral("ScanControl"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    parts_->host = std::make_unique<QtHost>(*this);
    host_ = parts_->host.get();
    if (!clipboard_) {
        parts_->clipboard = std::make_unique<QtClipboard>();
        clipboard_ = parts_->clipboard.get();
    }
    preview_ = new QtPreview(this);
    parts_->preview = preview_;
    preview_->setObjectName(QStringLiteral("Image1"));

    ports_ = given;
    if (!ports_.host) ports_.host = host_;
    if (!ports_.clipboard) ports_.clipboard = clipboard_;
    if (!ports_.preview) ports_.preview = preview_;
    parts_->control = std::make_unique<ScanControl>(ports_);
    control_ = parts_->control.get();
    preview_->setControl(control_, parts_);
    widgets_[Child::Image1] = preview_;

    ScanControl* core = control_;
    const ChildControls& kids = core->Children();
    for (Child c : kPushButtons) {
        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromStdString(kids[c].name));
        button->setAutoDefault(false);
        widgets_[c] = button;
    }
    for (Child c : kPictureButtons) {
        auto* button = new PictureButton(this);
        button->setObjectName(QString::fromStdString(kids[c].name));
        widgets_[c] = button;
    }
    auto click = [this](Child c, void (ScanControl::*handler)()) {
        connect(static_cast<QAbstractButton*>(widgets_[c]), &QAbstractButton::clicked, this,
                [this, handler] {
                    const std::shared_ptr<Parts> keep = parts_;
                    const QPointer<ScanControlWidget> self(this);
                    (keep->control.get()->*handler)();
                    if (self) NotifyChanges();
                });
    };
    click(Child::Command1, &ScanControl::Command1_Click);
    click(Child::Command2, &ScanControl::Command2_Click);
    click(Child::Command4, &ScanControl::Command4_Click);
    click(Child::Command5, &ScanControl::Command5_Click);
    click(Child::Command6, &ScanControl::Command6_Click);
    click(Child::Icon1, &ScanControl::Icon1_Click);
    click(Child::Icon2, &ScanControl::Icon2_Click);
    click(Child::Icon4, &ScanControl::Icon4_Click);
    click(Child::Icon5, &ScanControl::Icon5_Click);
    click(Child::Icon6, &ScanControl::Icon6_Click);

    auto* text1 = new QLineEdit(this);
    text1->setObjectName(QStringLiteral("Text1"));
    text1->setReadOnly(true);
    text1->setAlignment(Qt::AlignCenter);
    QPalette tip = text1->palette();
    tip.setColor(QPalette::Base, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::Text, tip.color(QPalette::ToolTipText));
    text1->setPalette(tip);
    text1->installEventFilter(this);
    widgets_[Child::Text1] = text1;

    auto* text2 = new QPlainTextEdit(this);
    text2->setObjectName(QStringLiteral("Text2"));
    connect(text2, &QPlainTextEdit::textChanged, this, [this, text2] {
        if (mirroringText2_) return;
        const std::string text = ToModelText(text2->toPlainText());
        if (control_->Children()[Child::Text2].caption != text) control_->SetEditorText(text);
    });
    widgets_[Child::Text2] = text2;

    auto* pb = new QProgressBar(this);
    pb->setObjectName(QStringLiteral("PB"));
    pb->setTextVisible(false);
    widgets_[Child::PB] = pb;

    timer1_.setObjectName(QStringLiteral("Timer1"));
    connect(&timer1_, &QTimer::timeout, this, [this] {
        const std::shared_ptr<Parts> keep = parts_;
        keep->control->Timer1_Timer();
    });

    // Qt passes the name by value, so that scripts and queued connections can take it.
    // Qt's pointer: the event may come after the widget is gone (deleted during the scan).
    control_->ScanComplete = [self = QPointer<ScanControlWidget>(this)](std::string& FileName) {
        if (!self) return;
        self->NotifyChanges();
        emit self->ScanComplete(QString::fromStdString(FileName));
    };

    MirrorAll();
    const QMetaObject* meta = metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        notified_.push_back(meta->property(i).read(this));
    }
}

void ScanControlWidget::NotifyChanges() {
    const QMetaObject* meta = metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        QVariant now = property.read(this);
        QVariant& was = notified_[static_cast<size_t>(i - meta->propertyOffset())];
        if (!property.hasNotifySignal() || now == was) continue;
        was = now;
        // A QVariant property's signal takes the variant itself, the others its content.
        const bool isVariant = property.metaType() == QMetaType::fromType<QVariant>();
        property.notifySignal().invoke(
            this, Qt::DirectConnection,
            QGenericArgument(property.metaType().name(), isVariant ? &now : now.constData()));
    }
}

QWidget* ScanControlWidget::childWidget(const QString& name) const {
    const ChildControl* record = control_->Children().Find(name.toStdString());
    if (!record) return nullptr;
    for (const auto& [id, widget] : widgets_) {
        if (&control_->Children()[id] == record) return widget;
    }
    return nullptr;
}

void ScanControlWidget::setKeyTarget(QWidget* target) {
    host_->setKeyTarget(target);
}

void ScanControlWidget::MirrorAll() {
    const ChildControls& kids = control_->Children();
    for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
        MirrorChild(kids[static_cast<Child>(i)].name);
    }
}

void ScanControlWidget::MirrorChild(const std::string& name) {
    const ChildControls& kids = control_->Children();
    const ChildControl* record = kids.Find(name);
    QWidget* w = nullptr;
    Child id = Child::Count;
    for (const auto& [child, widget] : widgets_) {
        if (&kids[child] == record) {
            id = child;
            w = widget;
            break;
        }
    }
    if (record && w) {
        const ChildControl& c = *record;
        const float tpx = TwipsPerPixelX(this);
        const float tpy = TwipsPerPixelY(this);
        const QRect r(ToPixels(c.left, tpx), ToPixels(c.top, tpy),
                      std::max(0, ToPixels(c.width, tpx)), std::max(0, ToPixels(c.height, tpy)));
        if (w->geometry() != r) w->setGeometry(r);
        if (w->isHidden() == c.visible) w->setHidden(!c.visible);
        if (w->isEnabled() != c.enabled && id != Child::Image1) w->setEnabled(c.enabled);
        const QString tip = QString::fromStdString(c.toolTipText);
        if (w->toolTip() != tip) w->setToolTip(tip);

        if (auto* push = qobject_cast<QPushButton*>(w)) {
            push->setText(QString::fromStdString(c.caption));
        } else if (auto* picture = qobject_cast<PictureButton*>(w)) {
            picture->setPictureName(QString::fromStdString(c.picture));
        } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
            const QString text = QString::fromStdString(c.caption);
            if (line->text() != text) line->setText(text);
        } else if (auto* editor = qobject_cast<QPlainTextEdit*>(w)) {
            const QString text = FromModelText(c.caption);
            if (editor->toPlainText() != text) {
                const ScopedFlag mirroring(mirroringText2_);
                editor->setPlainText(text);
            }
        } else if (auto* bar = qobject_cast<QProgressBar*>(w)) {
            const int lo = ClampToInt(c.min);
            const int hi = std::max(lo, ClampToInt(c.max));
            const bool sameRange = bar->minimum() == lo && bar->maximum() == hi;
            if (!sameRange) bar->setRange(lo, hi);
            // A value outside the range shows the nearest end rather than being dropped.
            const int value = std::clamp(ClampToInt(c.value), lo, hi);
            // An upload moves a shown bar four times per kilobyte; a step that cannot move
            // it by a thousandth waits for a later one (setting it draws the bar at once).
            if (!sameRange || !bar->isVisible() || bar->value() < lo ||
                Permille(value, lo, hi) != Permille(bar->value(), lo, hi)) {
                bar->setValue(value);
            }
        }
    }
    ApplyZOrder();
}

void ScanControlWidget::ApplyZOrder() {
    const std::vector<Child>& order = control_->Children().ZOrder();
    if (order == appliedZOrder_) return;
    for (Child c : order) {
        auto it = widgets_.find(c);
        if (it != widgets_.end()) it->second->raise();
    }
    appliedZOrder_ = order;
}

QSize ScanControlWidget::ModelExtentPixels() const {
    return {ToPixels(control_->Width(), TwipsPerPixelX(this)),
            ToPixels(control_->Height(), TwipsPerPixelY(this))};
}

void ScanControlWidget::ApplyExtent(float widthTwips, float heightTwips) {
    const QSize size(ToPixels(widthTwips, TwipsPerPixelX(this)),
                     ToPixels(heightTwips, TwipsPerPixelY(this)));
    // The core has its extent already and lays out by itself; the resize that follows
    // must not hand it back.
    {
        const ScopedFlag applying(applyingExtent_);
        resize(size);
    }
    updateGeometry();
}

void ScanControlWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (applyingExtent_) return;
    if (control_->Width() > 0 && size() == ModelExtentPixels()) return;  // our own extent
    control_->Resize(static_cast<float>(width()) * TwipsPerPixelX(this),
                     static_cast<float>(height()) * TwipsPerPixelY(this));
}

void ScanControlWidget::SyncExtent() {
    // Until it is shown, the widget holds back its resize events: a property that lays
    // out must start from the size the container gave, not from none.
    if (applyingExtent_ || !testAttribute(Qt::WA_PendingResizeEvent)) return;
    if (control_->Width() > 0 && size() == ModelExtentPixels()) return;
    control_->Resize(static_cast<float>(width()) * TwipsPerPixelX(this),
                     static_cast<float>(height()) * TwipsPerPixelY(this));
}

QSize ScanControlWidget::sizeHint() const {
    if (control_->Width() > 0 && control_->Height() > 0) return ModelExtentPixels();
    return {400, 200};
}

bool ScanControlWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched == widgets_.at(Child::Text1)) {
        control_->Text1_GotFocus();
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Properties and methods.

int ScanControlWidget::FullScreen() const {
    return control_->FullScreen();
}
void ScanControlWidget::setFullScreen(int v) {
    SyncExtent();
    control_->FullScreen(v);
    NotifyChanges();
}
int ScanControlWidget::ButtonStyle() const {
    return control_->ButtonStyle();
}
void ScanControlWidget::setButtonStyle(int v) {
    SyncExtent();
    control_->ButtonStyle(v);
    NotifyChanges();
}
QString ScanControlWidget::CurrentName() const {
    return QString::fromStdString(control_->CurrentName());
}
QVariant ScanControlWidget::ShowModeButton() const {
    return FromVariant(control_->ShowModeButton());
}
void ScanControlWidget::setShowModeButton(const QVariant& v) {
    SyncExtent();
    control_->ShowModeButton(ToVariant(v));
    NotifyChanges();
}
QVariant ScanControlWidget::SaveAsPDF() const {
    return FromVariant(control_->SaveAsPDF());
}
void ScanControlWidget::setSaveAsPDF(const QVariant& v) {
    control_->SaveAsPDF(ToVariant(v));
    NotifyChanges();
}
int ScanControlWidget::ControlMode() const {
    return control_->ControlMode();
}
void ScanControlWidget::setControlMode(int v) {
    SyncExtent();
    control_->ControlMode(v);
    NotifyChanges();
}
int ScanControlWidget::ImageWidth() const {
    return control_->ImageWidth();
}
int ScanControlWidget::ImageHeight() const {
    return control_->ImageHeight();
}
int ScanControlWidget::ImageSize() const {
    return control_->ImageSize();
}
int ScanControlWidget::Quality() const {
    return control_->Quality();
}
void ScanControlWidget::setQuality(int v) {
    control_->Quality(v);
    NotifyChanges();
}
QString ScanControlWidget::FilePath() const {
    return QString::fromStdString(control_->FilePath());
}
void ScanControlWidget::setFilePath(const QString& v) {
    control_->FilePath(v.toStdString());
    NotifyChanges();
}

bool ScanControlWidget::ScanDialog() const {
    return defaults_ && defaults_->ScanDialog();
}
void ScanControlWidget::setScanDialog(bool on) {
    if (defaults_) defaults_->SetScanDialog(on);
    NotifyChanges();
}

// The calls that pump messages hold the parts: the widget may be deleted meanwhile.
void ScanControlWidget::StartScan() {
    const std::shared_ptr<Parts> keep = parts_;
    const QPointer<ScanControlWidget> self(this);
    keep->control->StartScan();
    if (self) NotifyChanges();
}
void ScanControlWidget::SetSize(int xWidth, int yHeight) {
    control_->SetSize(xWidth, yHeight);
}
void ScanControlWidget::PasteName() {
    const std::shared_ptr<Parts> keep = parts_;
    keep->control->PasteName();
}

QString ScanControlWidget::UploadFile(const QVariant& vServer, const QVariant& vUserName,
                                      const QVariant& vPassword, const QVariant& vFTPMode,
                                      const QVariant& vRemoteFileName,
                                      const QVariant& vRemoteDirectory) {
    const Variant missing = Variant::Missing();
    const std::shared_ptr<Parts> keep = parts_;
    return QString::fromStdString(
        keep->control->UploadFile(ToVariant(vServer), ToVariant(vUserName), ToVariant(vPassword),
                                  ToVariant(vFTPMode, missing), ToVariant(vRemoteFileName, missing),
                                  ToVariant(vRemoteDirectory, missing)));
}

}  // namespace folioray
