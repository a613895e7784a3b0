// Behaviour of the designed controls that Qt's widgets do not have by themselves.
#pragma once

#include <functional>

class QAction;
class QKeySequence;
class QListWidget;
class QWidget;

namespace mervo {

// A list box's Click: runs whenever the selected entry changes, by mouse or by the keys, and when the selected
// entry is clicked again. Clearing the list runs nothing.
void onListClick(QListWidget* list, std::function<void()> handler);

// The desktop's key for a menu entry, within `window`: it acts as the entry does while the entry is enabled,
// and adds nothing to the entry's caption.
void addKeyFor(QWidget* window, const QKeySequence& keys, QAction* entry);

}  // namespace mervo
