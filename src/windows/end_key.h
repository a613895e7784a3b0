// The key that ends the program from the main and the analysis window: F12 alone; with Shift, Ctrl or Alt it does
// nothing.
#pragma once

#include <QKeyEvent>

namespace mervo {

inline bool isEndKey(const QKeyEvent& e) {
    return e.key() == Qt::Key_F12 && (e.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
}

}  // namespace mervo
