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
#include <optional>
#include <vector>

#include "analysis/trend_compare.h"
#include "analysis/trend_interval.h"
#include "analysis/trend_interval_job.h"
#include "analysis/trend_live.h"
#include "analysis/trend_source.h"
#include "files/side_settings.h"
#include "measurement/sidecar.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/qt_core/sliced_job.h"
#include "shared/shared_state.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
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
    // Exports samples A..B of the file shown through the export window, its range preset (导出A–B数据…); unset,
    // the button stays disabled.
    std::function<void(const QString& file, int64_t a, int64_t b)> exportRange;
    // Where pictures are written (tests fail its writes).
    FileSystem* files = nullptr;
};

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    explicit TrendWindow(const TrendWindowContext& ctx, QWidget* parent = nullptr);
    static QString title();  // 趋势分析
    ~TrendWindow() override;

    TrendPlots* plots;
    std::array<QCheckBox*, 5> panelBoxes{};
    QComboBox *timeMode, *liveSpan;
    QCheckBox *fixedAxes, *freeze;
    QSpinBox *cursorA, *cursorB;
    QPushButton *reloadButton, *pictureButton, *copyButton, *exportButton, *assessButton;
    QPushButton *compareButton, *zoomButton, *exportRangeButton, *copyPictureButton, *defaultViewButton;
    QPushButton* deleteMarkerButton;
    QComboBox *alignMode, *legendPlace, *valuePanel;
    QDoubleSpinBox* compareOffset;  // seconds the comparison is moved on by, dragged (Alt) or typed
    QCheckBox* valueCursors;
    QLineEdit* valueEdit;
    QListWidget* markerList;
    QTableWidget* table;
    QLabel *readout, *status;

    // Reads the open measurement again (the 重新载入 button).
    void reload();
    // The measurement in hand has changed (opened, closed, saved, a receive ended): shows it, unless a receive
    // is being followed. A file it cannot show is said in the status line, without a message box.
    void follow();
    bool loading() const { return slicer_.active(); }
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

    // 比较…: a second measurement over the first (a second press ends the comparison).
    void compare();
    // Compares with `path` at once (tests); false when it cannot be read, said in the status line.
    bool compareWith(const QString& path);
    const TrendSource* compared() const { return compare_.get(); }
    // A marker at the sample nearest to time t of the file shown, then its text, its removal; each kept in the
    // measurement's sidecar at once.
    void addMarkerAt(double t);
    void editMarker(int row, const QString& text);
    void deleteMarker(int row);
    const std::vector<Marker>& markers() const { return markers_; }
    // 缩放到A–B, 导出A–B数据…
    void zoomToCursors();
    void exportCursorRange();
    // The typed value of the chosen panel's value cursor.
    void valueTyped();
    // 复制图片, and the caption every picture carries.
    void copyPicture();
    QStringList pictureCaption() const;
    // 恢复默认视图: the default view, and the one kept for this file forgotten.
    void restoreDefaultView();
    TrendView currentView() const;

private:
    void buildControls();
    // Starts reading the measurement in hand; `tell`: a failure is also shown in a message box.
    void load(bool tell);
    // Shows `s` in place of what was shown (null: nothing).
    void showSource(std::unique_ptr<TrendSource> s);
    // The source brought up to date with the receive's new blocks (a file's summaries come a slice at a time).
    void refresh();
    // Shows what the source holds after a slice of it (`changed`: it shows more than before).
    void showRefresh(bool changed);
    void failed(const QString& why);
    void pollLive();
    void followLive();
    void showSeries();
    void cursorsFromSpins();
    void cursorsFromPlots(int64_t a, int64_t b);
    void fillTable();
    // A step of the interval's sums (and the comparison's after them); true once both are done.
    bool tableStep();
    void tableSlice(bool over);
    void showRows(std::vector<IntervalRow> rows);
    void samplePicked(int64_t number);
    int64_t indexOfNumber(int64_t number) const;
    // The cursor numbers a source allows.
    int64_t firstNumber() const;
    int64_t lastNumber() const;
    void buildTools(QHBoxLayout* row);
    void compareSlice(bool over);
    void endComparison();
    double shift() const;
    void comparisonMoved();
    void loadMarkers();
    void showMarkers();
    // Applies `change` to the markers kept beside the file shown and writes them; false (said) when it cannot.
    bool changeMarkers(const std::function<void(std::vector<Marker>&)>& change);
    bool writePicture(const QString& path, const QByteArray& bytes);
    void applyView(const TrendView& v);
    void keepView();

    SharedState& st_;
    MessageBoxes& messages_;
    FileDialogs& dialogs_;
    QString dir_;
    const TrendLiveBuffer* live_;
    std::function<bool()> receiving_;
    std::function<bool(int64_t)> querySample_;
    std::function<void(const QString&, int64_t, int64_t)> assessInterval_;
    std::function<void(const QString&, int64_t, int64_t)> exportRange_;
    FileSystem& files_;
    QString shown_;  // the file the source reads
    std::unique_ptr<TrendSource> source_;
    TrendIntervalJob job_;
    std::unique_ptr<TrendSource> compare_;  // the measurement compared, when there is one
    QString comparedPath_;
    TrendIntervalJob compareJob_;
    IndexSpan compareSpan_;  // of the comparison, matching A..B
    SlicedJob compareSlicer_;
    std::vector<Marker> markers_;  // of the file shown, by sample
    bool markersWritable_ = false;  // a sidecar that cannot be read is never written over
    std::optional<TrendView> pendingView_;  // its span, once the file is summarised
    QStringList header_;  // of the table shown
    SlicedJob slicer_, tableSlicer_;
    bool sliceChanged_ = false;  // the file's steps in the slice under way have changed what it shows
    QTimer livePoll_, tableTimer_;
    QElapsedTimer drawn_;     // since the plots last took the source's changes
    int64_t drawnReady_ = 0;  // samples summarised then
    std::vector<IntervalRow> rows_;
    QString warning_;  // about the file shown, kept beside its progress
    int64_t numberA_ = 0, numberB_ = 0;
    bool following_ = false;   // a receive in progress is shown
    bool tellFailure_ = true;  // of the load under way
};

}  // namespace mervo
