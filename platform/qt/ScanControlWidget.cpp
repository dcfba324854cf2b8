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
#include "platform/qt/ScanControlWidgetPrivate.h"
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

struct ScanControlWidget::Private::Parts {
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
    : QWidget(parent), d_(std::make_unique<Private>(*this)) {
    d_->parts_ = std::make_shared<Private::Parts>();
    d_->parts_->clipboard = std::make_unique<QtClipboard>();
    d_->clipboard_ = d_->parts_->clipboard.get();
    // The scanner hands its pages over through the same clipboard the control reads.
    d_->parts_->defaults = std::make_unique<DefaultPorts>(d_->clipboard_);
    d_->defaults_ = d_->parts_->defaults.get();
    d_->Build(d_->defaults_->ports());
    d_->defaults_->Attach(*d_->host_, this);
}

ScanControlWidget::ScanControlWidget(const Ports& ports, QWidget* parent)
    : QWidget(parent), d_(std::make_unique<Private>(*this)) {
    d_->parts_ = std::make_shared<Private::Parts>();
    d_->Build(ports);
}

ScanControlWidget::~ScanControlWidget() {
    d_->timer1_.stop();
    if (d_->parts_.use_count() > 1) {
        // A call into the core waits further down the stack: its parts stay until it
        // returns, without this widget.
        d_->host_->Detach();
        if (d_->defaults_) d_->defaults_->Detach();
        if (d_->preview_) {
            d_->preview_->hide();
            d_->preview_->setParent(nullptr);
            d_->parts_->ownsPreview = true;
        }
    }
    d_->parts_.reset();
}

void ScanControlWidget::Private::Build(const Ports& given) {
    q.setObjectName(QStringLiteral("ScanControl"));
    q.setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QFont small = q.font();
    small.setPixelSize(11);
    q.setFont(small);

    parts_->host = std::make_unique<QtHost>(q);
    host_ = parts_->host.get();
    if (!clipboard_) {
        parts_->clipboard = std::make_unique<QtClipboard>();
        clipboard_ = parts_->clipboard.get();
    }
    preview_ = new QtPreview(&q);
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
        auto* button = new QPushButton(&q);
        button->setObjectName(QString::fromStdString(kids[c].name));
        button->setAutoDefault(false);
        widgets_[c] = button;
    }
    for (Child c : kPictureButtons) {
        auto* button = new PictureButton(&q);
        button->setObjectName(QString::fromStdString(kids[c].name));
        widgets_[c] = button;
    }
    auto click = [this](Child c, void (ScanControl::*handler)()) {
        QObject::connect(static_cast<QAbstractButton*>(widgets_[c]), &QAbstractButton::clicked, &q,
                         [this, handler] {
                             const std::shared_ptr<Parts> keep = parts_;
                             const QPointer<ScanControlWidget> self(&q);
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

    auto* text1 = new QLineEdit(&q);
    text1->setObjectName(QStringLiteral("Text1"));
    text1->setReadOnly(true);
    text1->setAlignment(Qt::AlignCenter);
    QPalette tip = text1->palette();
    tip.setColor(QPalette::Base, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::Text, tip.color(QPalette::ToolTipText));
    text1->setPalette(tip);
    text1->installEventFilter(&q);
    widgets_[Child::Text1] = text1;

    auto* text2 = new QPlainTextEdit(&q);
    text2->setObjectName(QStringLiteral("Text2"));
    QObject::connect(text2, &QPlainTextEdit::textChanged, &q, [this, text2] {
        if (mirroringText2_) return;
        const std::string text = ToModelText(text2->toPlainText());
        if (control_->Children()[Child::Text2].caption != text) control_->SetEditorText(text);
    });
    widgets_[Child::Text2] = text2;

    auto* pb = new QProgressBar(&q);
    pb->setObjectName(QStringLiteral("PB"));
    pb->setTextVisible(false);
    widgets_[Child::PB] = pb;

    timer1_.setObjectName(QStringLiteral("Timer1"));
    QObject::connect(&timer1_, &QTimer::timeout, &q, [this] {
        const std::shared_ptr<Parts> keep = parts_;
        keep->control->Timer1_Timer();
    });

    // Qt passes the name by value, so that scripts and queued connections can take it.
    // Qt's pointer: the event may come after the widget is gone (deleted during the scan).
    control_->ScanComplete = [self = QPointer<ScanControlWidget>(&q)](std::string& FileName) {
        if (!self) return;
        self->d_->NotifyChanges();
        emit self->ScanComplete(QString::fromStdString(FileName));
    };

    MirrorAll();
    const QMetaObject* meta = q.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        notified_.push_back(meta->property(i).read(&q));
    }
}

void ScanControlWidget::Private::NotifyChanges() {
    const QMetaObject* meta = q.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        QVariant now = property.read(&q);
        QVariant& was = notified_[static_cast<size_t>(i - meta->propertyOffset())];
        if (!property.hasNotifySignal() || now == was) continue;
        was = now;
        // A QVariant property's signal takes the variant itself, the others its content.
        const bool isVariant = property.metaType() == QMetaType::fromType<QVariant>();
        property.notifySignal().invoke(
            &q, Qt::DirectConnection,
            QGenericArgument(property.metaType().name(), isVariant ? &now : now.constData()));
    }
}

ScanControl& ScanControlWidget::control() {
    return *d_->control_;
}
const ScanControl& ScanControlWidget::control() const {
    return *d_->control_;
}
const Ports& ScanControlWidget::ports() const {
    return d_->ports_;
}

QWidget* ScanControlWidget::childWidget(const QString& name) const {
    const ChildControl* record = d_->control_->Children().Find(name.toStdString());
    if (!record) return nullptr;
    for (const auto& [id, widget] : d_->widgets_) {
        if (&d_->control_->Children()[id] == record) return widget;
    }
    return nullptr;
}

void ScanControlWidget::setKeyTarget(QWidget* target) {
    d_->host_->setKeyTarget(target);
}

void ScanControlWidget::Private::MirrorAll() {
    const ChildControls& kids = control_->Children();
    for (int i = 0; i < static_cast<int>(Child::Count); ++i) {
        MirrorChild(kids[static_cast<Child>(i)].name);
    }
}

void ScanControlWidget::Private::MirrorChild(const std::string& name) {
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
        const float tpx = TwipsPerPixelX(&q);
        const float tpy = TwipsPerPixelY(&q);
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

void ScanControlWidget::Private::ApplyZOrder() {
    const std::vector<Child>& order = control_->Children().ZOrder();
    if (order == appliedZOrder_) return;
    for (Child c : order) {
        auto it = widgets_.find(c);
        if (it != widgets_.end()) it->second->raise();
    }
    appliedZOrder_ = order;
}

QSize ScanControlWidget::Private::ModelExtentPixels() const {
    return {ToPixels(control_->Width(), TwipsPerPixelX(&q)),
            ToPixels(control_->Height(), TwipsPerPixelY(&q))};
}

void ScanControlWidget::Private::ApplyExtent(float widthTwips, float heightTwips) {
    const QSize size(ToPixels(widthTwips, TwipsPerPixelX(&q)),
                     ToPixels(heightTwips, TwipsPerPixelY(&q)));
    // The core has its extent already and lays out by itself; the resize that follows
    // must not hand it back.
    {
        const ScopedFlag applying(applyingExtent_);
        q.resize(size);
    }
    q.updateGeometry();
}

void ScanControlWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (d_->applyingExtent_) return;
    if (d_->control_->Width() > 0 && size() == d_->ModelExtentPixels()) return;  // our own extent
    d_->control_->Resize(static_cast<float>(width()) * TwipsPerPixelX(this),
                         static_cast<float>(height()) * TwipsPerPixelY(this));
}

void ScanControlWidget::Private::SyncExtent() {
    // Until it is shown, the widget holds back its resize events: a property that lays
    // out must start from the size the container gave, not from none.
    if (applyingExtent_ || !q.testAttribute(Qt::WA_PendingResizeEvent)) return;
    if (control_->Width() > 0 && q.size() == ModelExtentPixels()) return;
    control_->Resize(static_cast<float>(q.width()) * TwipsPerPixelX(&q),
                     static_cast<float>(q.height()) * TwipsPerPixelY(&q));
}

QSize ScanControlWidget::sizeHint() const {
    if (d_->control_->Width() > 0 && d_->control_->Height() > 0) return d_->ModelExtentPixels();
    return {400, 200};
}

bool ScanControlWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched == d_->widgets_.at(Child::Text1)) {
        d_->control_->Text1_GotFocus();
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Properties and methods.

int ScanControlWidget::FullScreen() const {
    return d_->control_->FullScreen();
}
void ScanControlWidget::setFullScreen(int v) {
    d_->SyncExtent();
    d_->control_->FullScreen(v);
    d_->NotifyChanges();
}
int ScanControlWidget::ButtonStyle() const {
    return d_->control_->ButtonStyle();
}
void ScanControlWidget::setButtonStyle(int v) {
    d_->SyncExtent();
    d_->control_->ButtonStyle(v);
    d_->NotifyChanges();
}
QString ScanControlWidget::CurrentName() const {
    return QString::fromStdString(d_->control_->CurrentName());
}
QVariant ScanControlWidget::ShowModeButton() const {
    return FromVariant(d_->control_->ShowModeButton());
}
void ScanControlWidget::setShowModeButton(const QVariant& v) {
    d_->SyncExtent();
    d_->control_->ShowModeButton(ToVariant(v));
    d_->NotifyChanges();
}
QVariant ScanControlWidget::SaveAsPDF() const {
    return FromVariant(d_->control_->SaveAsPDF());
}
void ScanControlWidget::setSaveAsPDF(const QVariant& v) {
    d_->control_->SaveAsPDF(ToVariant(v));
    d_->NotifyChanges();
}
int ScanControlWidget::ControlMode() const {
    return d_->control_->ControlMode();
}
void ScanControlWidget::setControlMode(int v) {
    d_->SyncExtent();
    d_->control_->ControlMode(v);
    d_->NotifyChanges();
}
int ScanControlWidget::ImageWidth() const {
    return d_->control_->ImageWidth();
}
int ScanControlWidget::ImageHeight() const {
    return d_->control_->ImageHeight();
}
int ScanControlWidget::ImageSize() const {
    return d_->control_->ImageSize();
}
int ScanControlWidget::Quality() const {
    return d_->control_->Quality();
}
void ScanControlWidget::setQuality(int v) {
    d_->control_->Quality(v);
    d_->NotifyChanges();
}
QString ScanControlWidget::FilePath() const {
    return QString::fromStdString(d_->control_->FilePath());
}
void ScanControlWidget::setFilePath(const QString& v) {
    d_->control_->FilePath(v.toStdString());
    d_->NotifyChanges();
}

bool ScanControlWidget::ScanDialog() const {
    return d_->defaults_ && d_->defaults_->ScanDialog();
}
void ScanControlWidget::setScanDialog(bool on) {
    if (d_->defaults_) d_->defaults_->SetScanDialog(on);
    d_->NotifyChanges();
}

// The calls that pump messages hold the parts: the widget may be deleted meanwhile.
void ScanControlWidget::StartScan() {
    const std::shared_ptr<Private::Parts> keep = d_->parts_;
    const QPointer<ScanControlWidget> self(this);
    keep->control->StartScan();
    if (self) d_->NotifyChanges();
}
void ScanControlWidget::SetSize(int xWidth, int yHeight) {
    d_->control_->SetSize(xWidth, yHeight);
}
void ScanControlWidget::PasteName() {
    const std::shared_ptr<Private::Parts> keep = d_->parts_;
    keep->control->PasteName();
}

QString ScanControlWidget::UploadFile(const QVariant& vServer, const QVariant& vUserName,
                                      const QVariant& vPassword, const QVariant& vFTPMode,
                                      const QVariant& vRemoteFileName,
                                      const QVariant& vRemoteDirectory) {
    const Variant missing = Variant::Missing();
    const std::shared_ptr<Private::Parts> keep = d_->parts_;
    return QString::fromStdString(
        keep->control->UploadFile(ToVariant(vServer), ToVariant(vUserName), ToVariant(vPassword),
                                  ToVariant(vFTPMode, missing), ToVariant(vRemoteFileName, missing),
                                  ToVariant(vRemoteDirectory, missing)));
}

}  // namespace folioray
