// The trend window's stacked plot panels: one time axis shared by all, each panel with its own value axis and
// legend, the A/B cursors, the readout line, and the navigation (wheel, drag, rubber band with Shift, double
// click). The panels are handed only the column envelope of what is visible.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "analysis/trend_decimate.h"
#include "analysis/trend_source.h"
#include "analysis/trend_time_axis.h"

class QCustomPlot;
class QPainter;
class QCPGraph;
class QCPItemRect;
class QCPLayoutGrid;
class QCPItemStraightLine;
class QCPItemText;
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

    // A second measurement over the source, dashed in the same colours with an entry `name` in each legend, its
    // times moved on by `shift` seconds (null: none). It must outlive the plots or be reset.
    void setComparison(const TrendSource* s, double shift, const QString& name);
    void setComparisonShift(double shift);
    double comparisonShift() const { return shift_; }

    // The markers, as labelled vertical lines in every panel.
    struct MarkerLine {
        double t;
        QString text;
    };
    void setMarkers(const std::vector<MarkerLine>& markers);

    // A horizontal value cursor in each panel, labelled with its value; dragged or set here.
    void setValueCursorsShown(bool on);
    bool valueCursorsShown() const { return valueShown_; }
    void setValueCursor(int k, double v);
    double valueCursor(int k) const { return values_[static_cast<size_t>(k)]; }
    // A panel's value axis.
    std::pair<double, double> valueRange(int k) const;
    void setValueRange(int k, double lo, double hi);

    // Where the legends stand: 0 in the panel's corner, 1 beside the panel, 2 hidden.
    void setLegendPlace(int place);
    int legendPlace() const { return legendPlace_; }

    // The visible panels as one picture under the lines of `caption`: "png", or "pdf" and "svg" with the
    // curves as vectors. Empty when no panel is visible.
    QByteArray picture(const QStringList& caption, const QString& format);
    QImage image(const QStringList& caption);
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
    // The operator dragged a value cursor: the panel and its value.
    std::function<void(int, double)> onValueCursorMoved;
    // The comparison was dragged along the time axis (Alt held) by this many seconds.
    std::function<void(double)> onComparisonDragged;
    // A marker asked for at time t (a double click on the time axis, or the context menu).
    std::function<void(double)> onMarkerRequested;
    // A redraw found the source unable to read some samples (drawn as a gap): why.
    std::function<void(const QString&)> onReadFailure;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    static QColor curveColour(int k, size_t g);  // of curve g of panel k
    static QString panelUnit(int k);
    void buildPanel(int k);
    void placeValueCursors();
    // The visible panels painted one under the other below the caption, `width` wide.
    void paintPicture(QPainter& painter, const QStringList& caption, int width, int captionHeight, bool vector);
    int captionHeight(const QStringList& caption) const;
    QSize shownPanelsSize() const;
    bool nearTimeAxis(QCustomPlot* p, const QPoint& at) const;
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
    const TrendSource* compare_ = nullptr;
    double shift_ = 0;
    QString compareName_;
    std::array<std::vector<QCPGraph*>, kPanels> compareGraphs_;  // the dashed ones, then the legend's entry
    std::array<std::vector<QCPItemStraightLine*>, kPanels> markerLines_;
    std::array<std::vector<QCPItemText*>, kPanels> markerLabels_;
    std::array<QCPItemStraightLine*, kPanels> valueLines_{};
    std::array<QCPItemText*, kPanels> valueLabels_{};
    std::array<double, kPanels> values_{};
    bool valueShown_ = false;
    int draggingValue_ = -1;  // the panel whose value cursor is being dragged
    double dragFrom_ = 0;     // where an Alt drag of the comparison took hold
    bool draggingCompare_ = false;
    int legendPlace_ = 0;
    std::array<QCPLayoutGrid*, kPanels> legendColumns_{};  // the column beside a panel its legend stands in
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
