// The trend window's stacked plot panels: one time axis shared by all, each panel with its own value axis and
// legend, the A/B cursors, the readout line, and the navigation (wheel, drag, rubber band with Shift, double
// click). The panels are handed only the column envelope of what is visible.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "analysis/trend_decimate.h"
#include "analysis/trend_source.h"
#include "analysis/trend_time_axis.h"

class QCustomPlot;
class QCPItemRect;
class QCPItemStraightLine;
class QSplitter;

namespace mervo {

class TrendTimeTicker;

class TrendPlots : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPanels = 5;
    // "电流", "电压", "功率", "功率因数", "效率与负载率"
    static QString panelTitle(int k);

    // Every quantity a panel plots: what a source summarises for them.
    static std::vector<TrendQuantity> plottedQuantities();

    explicit TrendPlots(QWidget* parent = nullptr);
    ~TrendPlots() override;

    std::array<QCustomPlot*, kPanels> panels{};
    QSplitter* splitter;

    // The source shown (null: none); the plots read it on every redraw, so it must outlive them or be reset.
    void setSource(const TrendSource* s);
    // The source's content changed (more of a file summarised, a receive's blocks copied): redraw, keeping
    // the view.
    void sourceChanged();
    // The whole source.
    void resetView();
    void setView(double t0, double t1);
    double viewStart() const;
    double viewEnd() const;

    void setPanelVisible(int k, bool on);
    bool panelVisible(int k) const;
    void setTimeMode(TrendTimeMode mode);
    // Fixed value axes stay where they are; otherwise each rescales to what is visible.
    void setValueAxesFixed(bool fixed);

    // The A (0) and B (1) cursors at sample indexes of the source.
    void setCursors(int64_t a, int64_t b);
    int64_t cursor(int which) const { return cursors_[static_cast<size_t>(which)]; }

    // The visible panels as one picture, by the file's suffix: PNG, or PDF with the curves as vectors.
    bool savePicture(const QString& path);
    // Draws every visible panel now (the benchmark times this).
    void redrawNow();

    // A cursor was dragged (indexes A and B).
    std::function<void(int64_t, int64_t)> onCursorsMoved;
    // The readout under the mouse: the time and every visible value of the nearest sample.
    std::function<void(const QString&)> onReadout;
    // Ctrl+click on a sample: its number.
    std::function<void(int64_t)> onSamplePicked;
    // The operator moved the view (wheel, drag, rubber band): a live view stops following.
    std::function<void()> onViewMoved;
    // A redraw found the source unable to read some samples (drawn as a gap): why.
    std::function<void(const QString&)> onReadFailure;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildPanel(int k);
    void scheduleRedraw();
    void redraw();
    void placeCursors();
    // A light band over the time of each gap of the receive, in every panel.
    void shadeGaps();
    double gapStart(const ReceiveGap& g) const;
    void viewChangedBy(QCustomPlot* source);
    int panelOf(QObject* o) const;
    void showReadout(double t);
    std::vector<TrendQuantity> visibleQuantities() const;

    const TrendSource* source_ = nullptr;
    std::array<std::vector<TrendQuantity>, kPanels> quantities_;
    std::array<std::array<QCPItemStraightLine*, 3>, kPanels> lines_{};  // A, B, readout
    std::array<std::vector<QCPItemRect*>, kPanels> gapBands_;
    std::array<int64_t, 2> cursors_{{-1, -1}};
    std::vector<TrendTimeTicker*> tickers_;  // owned by the time axes
    PlotPoints points_;
    int dragging_ = -1;  // the cursor being dragged
    bool syncing_ = false, redrawPending_ = false, fixed_ = false;
};

}  // namespace mervo
