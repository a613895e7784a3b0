// 比较…'s question: which samples of the second measurement, and whether it is the state before the change or
// after it.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

class QComboBox;
class QSpinBox;

namespace mervo {

struct AssessedFile;

struct CompareChoice {
    int64_t from = 1, to = 0;
    bool chosenIsBefore = true;  // the chosen file is 改造前, the window's 改造后
};

class CompareDialog : public QDialog {
    Q_OBJECT
public:
    CompareDialog(const AssessedFile& file, QWidget* parent);
    QSpinBox *fromBox, *toBox;
    QComboBox* roleBox;
    CompareChoice choice() const;
};

// Asks over `parent`; nothing when the operator cancels.
std::optional<CompareChoice> askCompareChoice(const AssessedFile& file, QWidget* parent);

}  // namespace mervo
