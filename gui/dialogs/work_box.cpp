#include "dialogs/work_box.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

namespace lumigal {

WorkBox::WorkBox(QWidget* parent) : LumigalDialog(parent) {
    setModal(false);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

namespace {

constexpr int kLongestWaitMs = 1000;

// Ends `loop` when `window` has been exposed.
class ExposeWatcher : public QObject {
public:
    ExposeWatcher(QWindow* window, QEventLoop* loop) : window_(window), loop_(loop) {
        window_->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Expose) {
            // Let the window handle the event first, then stop waiting.
            QTimer::singleShot(0, loop_, [this] {
                if (window_->isExposed()) loop_->quit();
            });
        }
        return false;
    }

private:
    QWindow* window_;
    QEventLoop* loop_;
};

}  // namespace

void WorkBox::showNow() {
    show();
    QWindow* window = windowHandle();
    if (window != nullptr && !window->isExposed()) {
        QEventLoop loop;
        ExposeWatcher watcher(window, &loop);
        QTimer::singleShot(kLongestWaitMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    repaint();
}

void WorkBox::reject() {}

void WorkBox::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace lumigal
