// 趋势分析, the trend window: the open measurement (or the receive in progress) as stacked, zoomable plots
// with a readout, A/B cursors and the statistics between them. It shows a source of its own (the file,
// summarised by a pass of its own, or the blocks the receive hands over), so the other windows' state is
// never touched.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "analysis/trend_interval.h"
#include "analysis/trend_interval_job.h"
#include "analysis/trend_live.h"
#include "analysis/trend_source.h"
#include "platform/dialogs.h"
#include "shared/shared_state.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace mervo {

class TrendPlots;

struct TrendWindowContext {
    SharedState& state;
    MessageBoxes& messages;
    FileDialogs& dialogs;
    QString programDir;
    const TrendLiveBuffer* live = nullptr;  // the blocks of the receive, when the program records
    std::function<bool()> receiving;        // whether a receive is running now
    // Sets the analysis window's record number and runs its query; false when it cannot (not open, not analysed).
    std::function<bool(int64_t)> querySample;
    // Assesses the motor over samples A..B of the file shown (评估此区间); unset, the button stays disabled.
    std::function<void(const QString& file, int64_t a, int64_t b)> assessInterval;
};

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    explicit TrendWindow(const TrendWindowContext& ctx, QWidget* parent = nullptr);
    ~TrendWindow() override;

    TrendPlots* plots;
    std::array<QCheckBox*, 5> panelBoxes{};
    QComboBox *timeMode, *liveSpan;
    QCheckBox *fixedAxes, *freeze;
    QSpinBox *cursorA, *cursorB;
    QPushButton *reloadButton, *pictureButton, *copyButton, *exportButton, *assessButton;
    QTableWidget* table;
    QLabel *readout, *status;

    // Reads the open measurement again (the 重新载入 button).
    void reload();
    // The measurement in hand has changed (opened, closed, saved, a receive ended): shows it, unless a receive
    // is being followed. A file it cannot show is said in the status line, without a message box.
    void follow();
    bool loading() const { return slicer_.isActive(); }
    bool following() const { return following_; }
    // What is shown; null when nothing is.
    const TrendSource* source() const { return source_.get(); }
    // The interval table is still being summed.
    bool computing() const { return job_.active(); }
    // Puts the cursors at sample numbers A and B and fills the table.
    void setCursorNumbers(int64_t a, int64_t b);
    void savePicture();
    void copyTable();
    // Writes the interval table as CSV, in the form spreadsheet programs read.
    void exportTable();
    // 评估此区间: the motor assessment of the samples A..B.
    void assessInterval();

private:
    void buildControls();
    // Starts reading the measurement in hand; `tell`: a failure is also shown in a message box.
    void load(bool tell);
    // Shows `s` in place of what was shown (null: nothing).
    void showSource(std::unique_ptr<TrendSource> s);
    // The source brought up to date: a slice of a file's summaries, or the receive's new blocks.
    void refresh();
    void failed(const QString& why);
    void pollLive();
    void followLive();
    void showSeries();
    void cursorsFromSpins();
    void cursorsFromPlots(int64_t a, int64_t b);
    void fillTable();
    void tableSlice();
    void showRows(std::vector<IntervalRow> rows);
    void samplePicked(int64_t number);
    int64_t indexOfNumber(int64_t number) const;

    SharedState& st_;
    MessageBoxes& messages_;
    FileDialogs& dialogs_;
    QString dir_;
    const TrendLiveBuffer* live_;
    std::function<bool()> receiving_;
    std::function<bool(int64_t)> querySample_;
    std::function<void(const QString&, int64_t, int64_t)> assessInterval_;
    QString shown_;  // the file the source reads
    std::unique_ptr<TrendSource> source_;
    TrendIntervalJob job_;
    QTimer slicer_, livePoll_, tableTimer_, tableSlicer_;
    QElapsedTimer drawn_;     // since the plots last took the source's changes
    int64_t drawnReady_ = 0;  // samples summarised then
    std::vector<IntervalRow> rows_;
    QString warning_;  // about the file shown, kept beside its progress
    int64_t numberA_ = 0, numberB_ = 0;
    bool following_ = false;   // a receive in progress is shown
    bool tellFailure_ = true;  // of the load under way
};

}  // namespace mervo
