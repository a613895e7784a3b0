// QFileDialog and QMessageBox behind the dialog interfaces.
#pragma once

#include "platform/dialogs.h"

class QWidget;

namespace mervo {

class WidgetFileDialogs : public FileDialogs {
public:
    // Without a parent, the dialogs sit over whichever window is active when they open.
    explicit WidgetFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    std::optional<QString> choose(const FileDialogRequest& request) override;

private:
    QWidget* parent_;
};

class WidgetMessageBoxes : public MessageBoxes {
public:
    explicit WidgetMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    MessageAnswer show(const QString& text, const QString& title, MessageButtons buttons) override;

private:
    QWidget* parent_;
};

}  // namespace mervo
