#include "windows/end_key.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace mervo {

namespace {

// Watches the application's key events: a line edit, a list or a slider with the focus takes the key release
// for itself, and it would never reach the window.
class EndKeyWatch : public QObject {
public:
    EndKeyWatch(QObject* owner, QWidget* window, std::function<void()> end)
        : QObject(owner), window_(window), scoped_(window != nullptr), end_(std::move(end)) {}

protected:
    bool eventFilter(QObject* receiver, QEvent* e) override {
        if (e->type() != QEvent::KeyRelease || !isEndKey(*static_cast<QKeyEvent*>(e))) return false;
        if (scoped_ && !within(receiver)) return false;
        end_();
        return true;
    }

private:
    bool within(QObject* receiver) const {
        if (!window_ || !receiver->isWidgetType()) return false;
        for (auto* w = static_cast<QWidget*>(receiver); w; w = w->parentWidget())
            if (w == window_) return true;
        return false;
    }

    QPointer<QWidget> window_;
    bool scoped_;
    std::function<void()> end_;
};

}  // namespace

void watchEndKey(QObject* owner, QWidget* window, std::function<void()> end) {
    qApp->installEventFilter(new EndKeyWatch(owner, window, std::move(end)));
}

}  // namespace mervo
