// 电动机能效评估, the motor assessment window: K_Q, the target power factor and the samples A..B in; the pass run in
// slices on the event loop with its progress shown; then the verdict, the results table, the load profile as
// bars with the economic load rates marked, the time per zone and the starts on the first page, and the savings
// (their inputs, the annual figures, the demand, the time-of-use rows and the candidate motors) on the second,
// 节能与更换, where a changed input runs the assessment again. 打印 / PDF prints the report (the default printer,
// or a PDF the operator names), 导出CSV writes everything as CSV, 比较… assesses a second measurement's span alike
// and prints both side by side, 改造前 / 改造后.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "assessment/assessment_run.h"
#include "platform/dialogs.h"
#include "platform/printer.h"
#include "platform/qt_core/sliced_job.h"
#include "printing/assessment_table.h"
#include "windows/compare_dialog.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace mervo {

class LoadProfilePlot;
class SavingsPage;

class AssessmentWindow : public QWidget {
    Q_OBJECT
public:
    // `programDir` keeps the inputs and the printout's organisation and device between runs.
    AssessmentWindow(MessageBoxes& messages, FileDialogs& dialogs, QString programDir, QWidget* parent = nullptr);
    ~AssessmentWindow() override;

    QLineEdit *kqText, *targetPfText;
    QSpinBox *fromBox, *toBox;
    QPushButton *wholeButton, *assessButton;
    QTabWidget* pages;
    QLabel *verdict, *fileLine, *outside, *ruleText;
    QTableWidget *table, *zoneTable, *startTable;
    LoadProfilePlot* profile;
    SavingsPage* savingsPage;
    QProgressBar* progress;
    QLabel* status;
    QLineEdit *organisationText, *deviceText;
    QPushButton *printButton, *csvButton, *closeButton;
    QPushButton* compareButton;

    // Takes the measurement `path` with its samples from..to (0: from the first, to the last) and assesses it.
    void assess(const QString& path, int64_t from = 0, int64_t to = 0);
    // 评估: assesses with the inputs as they stand; while a run is under way, stops it.
    void assessButton_Click();
    void wholeButton_Click();
    void printButton_Click();
    void csvButton_Click();
    // 比较…: a second measurement and its span, assessed with the inputs of the assessment shown, then the page of
    // both printed.
    void compareButton_Click();
    // An input of the savings page changed: the assessment is run again, the figures shown kept until then.
    void savingsPage_Changed();

    bool running() const { return slicer_.active(); }
    QString file() const { return path_; }
    const std::optional<Assessment>& result() const { return result_; }
    const std::optional<Savings>& savings() const { return savings_; }

    // Opens the report's output (nothing when the operator cancels); tests replace it.
    std::function<Result<std::unique_ptr<PrintOutput>>(const QString& documentName)> openOutput;
    // Asks 比较…'s span and roles; tests replace it.
    std::function<std::optional<CompareChoice>(const AssessedFile& file, QWidget* parent)> askCompare;
    bool comparing() const { return compareSlicer_.active(); }

private:
    void buildInputs(QWidget* top);
    QWidget* buildAssessmentPage();
    void buildFoot(QWidget* foot);
    // Runs the assessment with the inputs as they stand; `keepShown` keeps the figures shown until the new ones.
    void startRun(bool keepShown);
    void stopRun();
    void slice(bool over);
    void finished();
    void showResult();
    void clearResult();
    void showProfile(const LoadProfileChart& c);
    PrintHeader printHeader() const;

    MessageBoxes& messages_;
    FileDialogs& dialogs_;
    QString dir_;
    QString path_;
    std::optional<AssessedFile> file_;
    std::unique_ptr<AssessmentRun> run_;
    std::optional<Assessment> result_;
    std::optional<Savings> savings_;
    bool refreshing_ = false;  // the run under way replaces figures still shown
    SlicedJob slicer_;
    // 比较…'s run of the second measurement.
    void compareSlice(bool over);
    void compareFinished();
    std::unique_ptr<AssessmentRun> compareRun_;
    std::optional<AssessedFile> compareFile_;
    bool compareIsBefore_ = true;
    SlicedJob compareSlicer_;
};

}  // namespace mervo
