// Behaviour of the designed controls that Qt's widgets do not have by themselves.
#pragma once

#include <functional>

class QListWidget;

namespace mervo {

// A list box's Click: runs whenever the selected entry changes, by mouse or by the keys, and when the selected
// entry is clicked again. Clearing the list runs nothing.
void onListClick(QListWidget* list, std::function<void()> handler);

}  // namespace mervo
