// 节能与更换, the second page of the assessment window: the savings inputs (operating hours a year, the price,
// the CO₂ factor with the year of its default, the demand window and step, the time-of-use periods as an
// editable table) kept in mervo.ini, and the figures of the last run: the annual figures and the maximum demand,
// the time-of-use rows, the candidate motors (a price typed into a candidate's row gives its payback, and is kept
// by the candidate's key), the note and the rule the figures follow. An input that changes and holds up asks for
// the figures again; a bad one is said in a message, the cursor in its place, and nothing is stored.
#pragma once

#include <QWidget>
#include <map>
#include <optional>

#include "assessment/savings.h"
#include "platform/dialogs.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace mervo {

class SavingsPage : public QWidget {
    Q_OBJECT
public:
    SavingsPage(MessageBoxes& messages, QString programDir, QWidget* parent = nullptr);

    QLineEdit *hoursText, *priceText, *co2Text, *demandText, *demandStepText;
    QTableWidget* periodTable;  // 名称, 起, 止, 电价
    QPushButton *addPeriodButton, *removePeriodButton, *examplePeriodsButton, *clearPeriodsButton;
    QTableWidget *annualTable, *touTable, *candidateTable;
    QGroupBox* touBox;
    QLabel *noteText, *ruleText;

    // The inputs as they stand, kept in mervo.ini; nothing, once the operator has been told why, when one is bad.
    std::optional<SavingsSettings> settings();
    // The figures of a run, and the assessment they were worked out with.
    void showSavings(const Savings& s, const Assessment& a);
    // No figures.
    void clearSavings();

    void inputText_EditingFinished();
    void periodTable_CellChanged(int row, int column);
    void addPeriodButton_Click();
    void removePeriodButton_Click();
    void examplePeriodsButton_Click();
    void clearPeriodsButton_Click();
    void candidateTable_ItemChanged(QTableWidgetItem* item);

signals:
    // The inputs changed and hold up: the figures are to be worked out again.
    void changed();

private:
    QWidget* buildInputs();
    QWidget* buildPeriods();
    void fillPeriods(const std::vector<TouPeriod>& periods);
    // The periods of the table's complete rows; the first incomplete or bad row's number (from 0) in `bad`.
    std::optional<std::vector<TouPeriod>> periods(int* bad, bool* incomplete) const;
    bool rowEmpty(int row) const;
    bool rowComplete(int row) const;
    void applied();
    // Whether to put the periods aside: asked when there are any.
    bool replacePeriods(const QString& question);

    MessageBoxes& messages_;
    QString dir_;
    std::map<QString, double> motorPrices_;
};

}  // namespace mervo
