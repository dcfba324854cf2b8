#pragma once
// Qt for the tests: one QApplication on the offscreen platform for the whole run, a
// watcher that closes modal windows and popups as they appear, and bounded waits.
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace folioray::test {

// Hands every modal window or popup that opens while it lives to `handle`, which looks at
// it and closes it. Anything still open after `boundMs` is closed by force, so a test
// never waits on a window.
class ModalWatcher {
  public:
    using Handler = std::function<void(QWidget*)>;
    explicit ModalWatcher(Handler handle, int boundMs = 10000);
    ~ModalWatcher();
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;

  private:
    void Poll();
    Handler handle_;
    int boundMs_;
    QTimer timer_;
    QElapsedTimer clock_;
    QPointer<QWidget> last_;
};

// A watcher that notes each window's title and text, then closes it.
struct SeenWindow {
    QString title;
    QString text;  // a message box's text
};
ModalWatcher::Handler RecordAndClose(std::vector<SeenWindow>& into);

// Processes events until `done` holds or `boundMs` has passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int boundMs = 5000);
// Processes the pending events a few times.
void Pump();

}  // namespace folioray::test
