// The key that ends the program: F12 alone; with Shift, Ctrl or Alt it does nothing. It works whatever control
// has the focus, so it is watched before any control sees it.
#pragma once

#include <QKeyEvent>
#include <functional>

class QWidget;

namespace mervo {

inline bool isEndKey(const QKeyEvent& e) {
    return e.key() == Qt::Key_F12 && (e.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
}

// Runs `end` when the end key is released in `window` or in a window it owns (its menus); with `window` null,
// in any window of the program. The watch lasts as long as `owner`.
void watchEndKey(QObject* owner, QWidget* window, std::function<void()> end);

}  // namespace mervo
