#include "tests/qt/QtTestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QThread>

#include "tests/support/TempDir.h"

namespace folioray::test {

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The user's own scanner settings stay out of the tests (and untouched by them).
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_.path()));
        app_ = new QApplication(argc_, argv_);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

  private:
    int argc_ = 1;
    char name_[16] = "folioray-qt";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
    TempDir config_;
};

[[maybe_unused]] const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QWidget* OpenWindow() {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    return QApplication::activeModalWidget();
}

void ForceClose(QWidget* w) {
    if (auto* dialog = qobject_cast<QDialog*>(w)) {
        dialog->reject();
    } else {
        w->close();
    }
}

}  // namespace

ModalWatcher::ModalWatcher(Handler handle, int boundMs)
    : handle_(std::move(handle)), boundMs_(boundMs) {
    clock_.start();
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
}

ModalWatcher::~ModalWatcher() {
    timer_.stop();
    // Nothing a test opened may outlive it.
    while (QWidget* w = OpenWindow()) {
        ForceClose(w);
        QApplication::processEvents();
    }
}

void ModalWatcher::Poll() {
    QWidget* w = OpenWindow();
    if (!w || !w->isVisible()) return;
    if (clock_.elapsed() > boundMs_) {
        ForceClose(w);
        return;
    }
    if (w == last_.data()) return;  // handled already, still closing
    last_ = w;
    handle_(w);
}

ModalWatcher::Handler RecordAndClose(std::vector<SeenWindow>& into) {
    return [&into](QWidget* w) {
        SeenWindow seen;
        seen.title = w->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(w)) seen.text = box->text();
        into.push_back(seen);
        ForceClose(w);
    };
}

bool WaitUntil(const std::function<bool()>& done, int boundMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > boundMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

}  // namespace folioray::test
