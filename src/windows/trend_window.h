// 趋势分析, the trend window: the open measurement (or the receive in progress) as stacked, zoomable plots with a
// readout, A/B cursors and the statistics between them. It reads the file with a pass of its own and follows a
// receive from the blocks the receive hands over, so the other windows' state is never touched.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "analysis/trend_interval.h"
#include "analysis/trend_live.h"
#include "analysis/trend_load.h"
#include "analysis/trend_series.h"
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
    bool following() const { return liveMode_; }
    const TrendSeries& series() const { return series_; }
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
    void loadSlice();
    void loaded();
    void pollLive();
    void followLive();
    void showSeries();
    void cursorsFromSpins();
    void cursorsFromPlots(int64_t a, int64_t b);
    void fillTable();
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
    QString shown_;  // the file the series was read from
    TrendSeries series_;
    std::unique_ptr<TrendLoader> loader_;
    QTimer slicer_, livePoll_, tableTimer_;
    std::vector<IntervalRow> rows_;
    int64_t pulled_ = -1;  // the live blocks received when last copied
    int64_t numberA_ = 0, numberB_ = 0;
    bool liveMode_ = false;
    bool tellFailure_ = true;  // of the load under way
};

}  // namespace mervo
