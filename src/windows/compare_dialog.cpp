#include "windows/compare_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <algorithm>
#include <climits>

#include "printing/assessment_table.h"

namespace mervo {

CompareDialog::CompareDialog(const AssessedFile& file, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("compareDialog"));
    setWindowTitle(QStringLiteral("比较"));
    auto* form = new QFormLayout(this);
    auto* name = new QLabel(QFileInfo(file.path).fileName(), this);
    name->setToolTip(file.path);
    form->addRow(QStringLiteral("数据文件"), name);
    const int last = static_cast<int>(std::clamp<int64_t>(file.samples, 1, INT_MAX));
    auto* span = new QHBoxLayout;
    fromBox = new QSpinBox(this);
    toBox = new QSpinBox(this);
    for (QSpinBox* box : {fromBox, toBox}) {
        box->setRange(1, last);
        box->setMinimumWidth(110);
    }
    fromBox->setValue(1);
    toBox->setValue(last);
    span->addWidget(fromBox);
    span->addWidget(new QLabel(QStringLiteral("到"), this));
    span->addWidget(toBox);
    form->addRow(QStringLiteral("数据号"), span);
    roleBox = new QComboBox(this);
    roleBox->addItems({QStringLiteral("改造前（本窗口的为改造后）"), QStringLiteral("改造后（本窗口的为改造前）")});
    form->addRow(QStringLiteral("此文件为"), roleBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

CompareChoice CompareDialog::choice() const {
    CompareChoice c;
    c.from = std::min(fromBox->value(), toBox->value());
    c.to = std::max(fromBox->value(), toBox->value());
    c.chosenIsBefore = roleBox->currentIndex() == 0;
    return c;
}

std::optional<CompareChoice> askCompareChoice(const AssessedFile& file, QWidget* parent) {
    CompareDialog d(file, parent);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.choice();
}

}  // namespace mervo
