#include "platform/qt/QtHost.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <cmath>

#include "control/ScanControl.h"
#include "platform/qt/QtForms.h"
#include "platform/qt/QtImages.h"
#include "platform/qt/QtPreview.h"
#include "platform/qt/ScanControlWidgetPrivate.h"
#include "ports/AboutForm.h"
#include "ports/Picture.h"

namespace folioray {

namespace {

constexpr float kDefaultTwipsPerPixel = 15.0f;

const QScreen* ScreenOf(const QWidget* widget) {
    const QScreen* screen = widget ? widget->screen() : nullptr;
    return screen ? screen : QGuiApplication::primaryScreen();
}

float TwipsFromDpi(qreal dpi) {
    return dpi > 0 ? static_cast<float>(1440.0 / dpi) : kDefaultTwipsPerPixel;
}

QMessageBox::Icon QtIcon(MsgBoxIcon icon) {
    switch (icon) {
        case MsgBoxIcon::Critical:
            return QMessageBox::Critical;
        case MsgBoxIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgBoxIcon::Information:
            return QMessageBox::Information;
        case MsgBoxIcon::Question:
            return QMessageBox::Question;
        case MsgBoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The Qt key of a Windows virtual key (letters and digits share their codes).
int QtKeyOfVirtualKey(uint32_t vk) {
    if (vk == VK_END) return Qt::Key_End;
    if (vk == VK_BACK) return Qt::Key_Backspace;
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return static_cast<int>(vk);
    return Qt::Key_unknown;
}

// Printable ASCII keys share their codes with Qt's, letters as capitals.
int QtKeyOfChar(uint32_t ch) {
    if (ch >= 'a' && ch <= 'z') return static_cast<int>(ch - 'a' + 'A');
    if (ch >= 0x20 && ch < 0x7F) return static_cast<int>(ch);
    return Qt::Key_unknown;
}

}  // namespace

float TwipsPerPixelX(const QWidget* widget) {
    const QScreen* screen = ScreenOf(widget);
    return screen ? TwipsFromDpi(screen->logicalDotsPerInchX()) : kDefaultTwipsPerPixel;
}

float TwipsPerPixelY(const QWidget* widget) {
    const QScreen* screen = ScreenOf(widget);
    return screen ? TwipsFromDpi(screen->logicalDotsPerInchY()) : kDefaultTwipsPerPixel;
}

QtHost::QtHost(ScanControlWidget& widget) : widget_(&widget) {}

QtHost::~QtHost() {
    if (waitCursor_) QApplication::restoreOverrideCursor();
}

void QtHost::MsgBox(const std::string& prompt, const std::string& title, MsgBoxIcon icon) {
    if (!widget_) return;
    QString text = QString::fromStdString(prompt);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(QtIcon(icon), QString::fromStdString(title), text, QMessageBox::Ok,
                    widget_->window());
    box.setTextFormat(Qt::PlainText);  // paths and server replies are not markup
    box.exec();
}

void QtHost::SetMousePointer(MousePointer pointer) {
    // One override at most, so every hourglass is undone by one return to default.
    if (pointer == MousePointer::Hourglass && !waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    } else if (pointer == MousePointer::Default && waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
}

void QtHost::Beep() {
    QApplication::beep();
}

void QtHost::DoEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

float QtHost::TwipsPerPixelX() {
    return folioray::TwipsPerPixelX(widget_);
}

float QtHost::TwipsPerPixelY() {
    return folioray::TwipsPerPixelY(widget_);
}

void QtHost::ExtentChanged(float widthTwips, float heightTwips) {
    if (widget_) ScanControlWidget::Private::Of(*widget_).ApplyExtent(widthTwips, heightTwips);
}

void QtHost::ChildChanged(const std::string& childName) {
    if (widget_) ScanControlWidget::Private::Of(*widget_).MirrorChild(childName);
}

void QtHost::SetFocus(const std::string& childName) {
    if (!widget_) return;
    if (QWidget* w = widget_->childWidget(QString::fromStdString(childName))) {
        w->setFocus(Qt::OtherFocusReason);
    }
}

void QtHost::Refresh(const std::string& childName) {
    if (!widget_) return;
    if (QWidget* w = widget_->childWidget(QString::fromStdString(childName))) w->repaint();
}

QWidget* QtHost::keyTarget() const {
    if (keyTarget_) return keyTarget_;
    if (!widget_) return nullptr;
    QWidget* window = widget_->window();
    if (!window) return nullptr;
    QWidget* focus = window->focusWidget();
    return focus ? focus : window;
}

bool QtHost::PostMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) {
    // The target is taken afresh for every message, as the container window would be.
    QWidget* target = keyTarget();
    if (!target) return false;
    const quint32 scanCode = ScanCodeOf(lParam);
    QKeyEvent* event = nullptr;
    switch (msg) {
        case WM_KEYDOWN:
        case WM_KEYUP: {
            const bool up = msg == WM_KEYUP;
            const bool repeat = !up && IsKeyRepeat(lParam);
            event =
                new QKeyEvent(up ? QEvent::KeyRelease : QEvent::KeyPress, QtKeyOfVirtualKey(wParam),
                              Qt::NoModifier, scanCode, wParam, 0, QString(), repeat);
            break;
        }
        case WM_CHAR:
            if (wParam == 0 || wParam > 0xFFFF) return true;
            event = new QKeyEvent(QEvent::KeyPress, QtKeyOfChar(wParam), Qt::NoModifier, scanCode,
                                  0, 0, QString(QChar(static_cast<char16_t>(wParam))));
            break;
        default:
            return true;  // other messages mean nothing to a Qt field
    }
    QCoreApplication::postEvent(target, event);
    return true;
}

void QtHost::SetTimer(bool enabled, uint32_t intervalMs) {
    if (!widget_) return;
    QTimer& timer = ScanControlWidget::Private::Of(*widget_).timer1_;
    if (!enabled) {
        timer.stop();
        return;
    }
    // Enabling a running timer does not restart its interval.
    const int ms = static_cast<int>(std::min<uint32_t>(intervalMs, 0x7FFFFFFF));
    if (!timer.isActive() || timer.interval() != ms) timer.start(ms);
}

void QtHost::PopupMenu(const std::string& menuName, float xTwips, float yTwips) {
    if (!widget_) return;
    ScanControl& control = widget_->control();
    const ChildControls& kids = control.Children();
    // On the heap: the widget may go, and take the menu with it, while the menu is up.
    QPointer<QMenu> menu = new QMenu(widget_);
    menu->setObjectName(QString::fromStdString(menuName));
    const ChildControl& item = kids[Child::MenuPasteImage];
    QAction* paste = menu->addAction(QString::fromStdString(item.caption));
    paste->setObjectName(QString::fromStdString(item.name));
    paste->setVisible(item.visible);
    paste->setEnabled(item.enabled);
    bool chosen = false;
    QObject::connect(paste, &QAction::triggered, menu, [&chosen] { chosen = true; });

    QWidget* anchor = &PreviewOf(*widget_);
    const QPoint at(ToPixels(xTwips, TwipsPerPixelX()), ToPixels(yTwips, TwipsPerPixelY()));
    menu->exec(anchor->mapToGlobal(at));
    delete menu.data();
    // The item runs once the menu is gone, so its messages are not stacked on the menu.
    if (chosen && widget_) control.MenuPasteImage_Click();
}

void QtHost::ShowDetailView(const Picture& picture, float innerWidthTwips, float innerHeightTwips) {
    if (!widget_) return;
    QPointer<DetForm> form = new DetForm(widget_->window());
    form->setPicture(ImageFromPicture(picture));
    form->setInnerSize(QSize(ToPixels(innerWidthTwips, TwipsPerPixelX()),
                             ToPixels(innerHeightTwips, TwipsPerPixelY())));
    form->exec();
    // Unloaded after each showing: the next one starts from the design state. (A window
    // closed while the form was up has taken the form with it.)
    delete form.data();
}

void QtHost::ShowAbout(AboutForm& about) {
    about.Show();
    if (!widget_) return;
    QPointer<AboutDialog> dialog = new AboutDialog(about, widget_->window());
    dialog->exec();
    delete dialog.data();
}

}  // namespace folioray
