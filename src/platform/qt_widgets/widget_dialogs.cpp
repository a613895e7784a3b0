#include "platform/qt_widgets/widget_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace mervo {

std::optional<QString> WidgetFileDialogs::choose(const FileDialogRequest& r) {
    QFileDialog d(parent_ ? parent_ : QApplication::activeWindow(), r.title);
    d.setNameFilter(r.filter);
    QString suffix = r.defaultSuffix;
    if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    d.setDefaultSuffix(suffix);
    if (r.kind == FileDialogRequest::Kind::Open) {
        d.setAcceptMode(QFileDialog::AcceptOpen);
        d.setFileMode(QFileDialog::ExistingFile);
    } else {
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setFileMode(QFileDialog::AnyFile);
        d.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
    }
    d.setOption(QFileDialog::ReadOnly, false);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().first();
}

MessageAnswer WidgetMessageBoxes::show(const QString& text, const QString& title, MessageButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, title, text,
                    buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    parent_ ? parent_ : QApplication::activeWindow());
    // Buttons in the operator's language, as a Chinese desktop labels them.
    if (auto* b = box.button(QMessageBox::Yes)) b->setText(QStringLiteral("是(&Y)"));
    if (auto* b = box.button(QMessageBox::No)) b->setText(QStringLiteral("否(&N)"));
    if (auto* b = box.button(QMessageBox::Ok)) b->setText(QStringLiteral("确定"));
    const int answer = box.exec();
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace mervo
