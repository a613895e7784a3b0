#include "windows/port_devices_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "shared/message_titles.h"

namespace mervo {

namespace {
const QString kTitle = QStringLiteral("串口设备");
}

PortDevicesDialog::PortDevicesDialog(int portNo, const SerialDeviceList& devices, MessageBoxes& messages,
                                     PortAssignments& assignments, QString programDir, QWidget* parent)
    : QDialog(parent),
      portNo_(portNo),
      devices_(devices),
      messages_(messages),
      assignments_(assignments),
      dir_(std::move(programDir)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The settings window waits while it is open, so the number it offers the device to cannot change under
    // it.
    setWindowModality(Qt::WindowModal);
    setWindowTitle(kTitle);
    note = new QLabel(this);
    note->setWordWrap(true);
    list = new QListWidget(this);
    assignButton = new QPushButton(QStringLiteral("分配给COM%1").arg(portNo_), this);
    refreshButton = new QPushButton(QStringLiteral("刷新"), this);
    closeButton = new QPushButton(QStringLiteral("关闭"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(assignButton);
    buttons->addStretch();
    buttons->addWidget(refreshButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(list);
    layout->addLayout(buttons);
    resize(680, 260);

    connect(list, &QListWidget::currentRowChanged, this,
            [this](int row) { assignButton->setEnabled(row >= 0); });
    connect(list, &QListWidget::itemDoubleClicked, this, &PortDevicesDialog::assign);
    connect(assignButton, &QPushButton::clicked, this, &PortDevicesDialog::assign);
    connect(refreshButton, &QPushButton::clicked, this, &PortDevicesDialog::refresh);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    refresh();
}

void PortDevicesDialog::refresh() {
    shown_ = presentDevices(devices_);
    list->clear();
    for (const PresentDevice& d : shown_) list->addItem(deviceEntryText(d, portsReaching(d, dir_)));
    assignButton->setEnabled(false);
    note->setText(shown_.empty()
                      ? QStringLiteral("未发现串口设备。请接好USB转串口线后按“刷新”。")
                      : QStringLiteral("本机现有的串口设备。选中一个，按“分配给COM%1”，COM%1即连到该设备；"
                                       "有固定名称的设备重新插拔后仍是COM%1。")
                            .arg(portNo_));
}

void PortDevicesDialog::assign() {
    const int row = list->currentRow();
    if (row < 0 || row >= static_cast<int>(shown_.size())) return;
    const QString target = shown_[static_cast<size_t>(row)].linkTarget();
    // No: the dialog stays, for another device or another number.
    const QString question = assignmentQuestion(portNo_, target, dir_);
    if (!question.isEmpty() && messages_.show(question, kTitle, MessageButtons::YesNo) != MessageAnswer::Yes) return;
    if (Status linked = assignments_.assign(portNo_, target); !linked) {
        messages_.show(
            QStringLiteral("COM%1 未能分配给 %2！\r\n%3").arg(portNo_).arg(target, linked.message()),
            errorTitle(), MessageButtons::Ok);
        return;
    }
    emit assigned(portNo_);
    close();
}

}  // namespace mervo
