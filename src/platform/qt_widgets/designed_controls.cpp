#include "platform/qt_widgets/designed_controls.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QListWidget>

namespace mervo {

namespace {

// Remembers which entry was selected when a mouse button went down on the list, so a click on it can be told
// from a click that selects another entry (that one has run the handler already).
class PressWatch : public QObject {
public:
    explicit PressWatch(QListWidget* list) : QObject(list), list_(list) {}
    int selectedAtPress = -1;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
            const QList<QListWidgetItem*> selected = list_->selectedItems();
            selectedAtPress = selected.isEmpty() ? -1 : list_->row(selected.first());
        }
        return false;
    }

private:
    QListWidget* list_;
};

}  // namespace

void onListClick(QListWidget* list, std::function<void()> handler) {
    auto* watch = new PressWatch(list);
    list->viewport()->installEventFilter(watch);
    QObject::connect(list, &QListWidget::itemSelectionChanged, watch, [list, handler] {
        if (!list->selectedItems().isEmpty()) handler();
    });
    QObject::connect(list, &QListWidget::itemClicked, watch, [list, watch, handler](QListWidgetItem* item) {
        if (item->isSelected() && list->row(item) == watch->selectedAtPress) handler();
    });
}

void addKeyFor(QWidget* window, const QKeySequence& keys, QAction* entry) {
    auto* shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, entry, [entry] {
        if (entry->isEnabled()) entry->trigger();
    });
}

}  // namespace mervo
