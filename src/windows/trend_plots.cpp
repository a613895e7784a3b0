#include "windows/trend_plots.h"

#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <qcustomplot.h>

#include "platform/qt_widgets/twips_widgets.h"

namespace mervo {

// Ticks at clean steps of the unit the visible span suits, labelled as elapsed time or time of day.
class TrendTimeTicker : public QCPAxisTicker {
public:
    TrendTimeMode mode = TrendTimeMode::Elapsed;
    float startClock = 0;

protected:
    double getTickStep(const QCPRange& range) override {
        const TrendTimeUnit u = trendTimeUnit(range.size(), range.upper);
        unit_ = u;  // the labels of these ticks read in the same unit
        step_ = cleanMantissa(range.size() / u.seconds / (tickCount() + 1e-10)) * u.seconds;
        // A clock reads best at whole seconds and minutes.
        if (mode == TrendTimeMode::ClockTime && step_ > 1) step_ = std::max(1.0, std::round(step_));
        return step_;
    }
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        return trendTimeLabel(tick, step_, mode, startClock, unit_);
    }

private:
    double step_ = 1;
    TrendTimeUnit unit_{1, "s"};
};

namespace {

// Phase 1 red, 2 blue, 3 yellow, as the clamps; the totals and the motor curves in colours of their own.
const QColor kPhase[3] = {QColor(200, 30, 30), QColor(30, 70, 200), QColor(200, 150, 0)};

struct PanelDef {
    const char* title;
    const char* unit;
    std::vector<TrendQuantity> quantities;
    std::vector<QColor> colours;
};

const std::array<PanelDef, TrendPlots::kPanels>& panelDefs() {
    using Q = TrendQuantity;
    static const std::array<PanelDef, TrendPlots::kPanels> defs = {{
        {"电流", "A", {Q::I1, Q::I2, Q::I3}, {kPhase[0], kPhase[1], kPhase[2]}},
        {"电压", "V", {Q::U1, Q::U2, Q::U3}, {kPhase[0], kPhase[1], kPhase[2]}},
        {"功率", "kW/kvar", {Q::SumP, Q::SumQ}, {QColor(0, 130, 60), QColor(130, 40, 160)}},
        {"功率因数", "", {Q::PF}, {QColor(0, 110, 130)}},
        {"效率与负载率", "%", {Q::Efficiency, Q::LoadRate}, {QColor(180, 80, 0), QColor(70, 70, 70)}},
    }};
    return defs;
}

constexpr int kLeftMargin = 72;  // the same for every panel, so their time axes line up
constexpr int kGrabPixels = 5;   // how near a cursor a press takes hold of it

// The point at the middle of each gap of `s` in [t0, t1] (on an axis moved on by `shift`), which breaks a line.
bool breakAtGaps(const TrendSource& s, double shift, double t0, double t1, QVector<QCPGraphData>& data) {
    if (s.empty() || s.gaps.empty()) return false;
    for (const ReceiveGap& gap : s.gaps.list()) {
        const int64_t before = gap.afterSample - s.firstNumber;
        const double from = (before >= 0 ? s.time(std::min(before, s.size() - 1)) : 0.0) + shift;
        if (from + gap.seconds >= t0 && from <= t1) data.append(QCPGraphData(from + gap.seconds / 2, qQNaN()));
    }
    return true;
}

}  // namespace

QString TrendPlots::panelTitle(int k) { return QString::fromUtf8(panelDefs()[static_cast<size_t>(k)].title); }

QColor TrendPlots::curveColour(int k, size_t g) { return panelDefs()[static_cast<size_t>(k)].colours[g]; }

QString TrendPlots::panelUnit(int k) { return QString::fromUtf8(panelDefs()[static_cast<size_t>(k)].unit); }

std::vector<TrendQuantity> TrendPlots::plottedQuantities() {
    std::vector<TrendQuantity> all;
    for (const PanelDef& d : panelDefs()) all.insert(all.end(), d.quantities.begin(), d.quantities.end());
    return all;
}

TrendPlots::TrendPlots(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter);
    for (int k = 0; k < kPanels; ++k) buildPanel(k);
    resetView();
}

TrendPlots::~TrendPlots() = default;

void TrendPlots::buildPanel(int k) {
    const PanelDef& def = panelDefs()[static_cast<size_t>(k)];
    auto* p = new QCustomPlot(splitter);
    p->setObjectName(QStringLiteral("trendPanel%1").arg(k));
    p->setMinimumHeight(70);
    const QFont font = designedFont();
    p->setFont(font);
    p->setNoAntialiasingOnDrag(true);
    p->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    p->axisRect()->setRangeDrag(Qt::Horizontal);
    p->axisRect()->setRangeZoom(Qt::Horizontal);
    p->axisRect()->setAutoMargins(QCP::msTop | QCP::msBottom | QCP::msRight);
    p->axisRect()->setMargins(QMargins(kLeftMargin, 0, 0, 0));
    for (QCPAxis* a : {p->xAxis, p->yAxis}) {
        a->setTickLabelFont(font);
        a->setLabelFont(font);
    }
    QString label = QString::fromUtf8(def.title);
    if (*def.unit) label += QStringLiteral(" (%1)").arg(QString::fromUtf8(def.unit));
    p->yAxis->setLabel(label);
    auto* ticker = new TrendTimeTicker;
    tickers_.push_back(ticker);
    p->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(ticker));
    for (size_t g = 0; g < def.quantities.size(); ++g) {
        QCPGraph* graph = p->addGraph();
        graph->setPen(QPen(def.colours[g], 1));
        graph->setName(QString::fromUtf8(trendQuantityInfo(def.quantities[g]).name));
    }
    quantities_[static_cast<size_t>(k)] = def.quantities;
    p->legend->setVisible(true);
    p->legend->setFont(font);
    p->legend->setBrush(QColor(255, 255, 255, 200));
    p->legend->setFillOrder(QCPLegend::foColumnsFirst);
    p->legend->setWrap(4);
    p->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
    const QColor cursorColour[3] = {QColor(0, 90, 255), QColor(230, 0, 120), QColor(120, 120, 120)};
    for (int c = 0; c < 3; ++c) {
        auto* line = new QCPItemStraightLine(p);
        line->setPen(QPen(cursorColour[c], c < 2 ? 1.5 : 1, c < 2 ? Qt::DashLine : Qt::DotLine));
        line->setVisible(false);
        line->setSelectable(false);
        lines_[static_cast<size_t>(k)][static_cast<size_t>(c)] = line;
    }
    connect(p->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this, p] { viewChangedBy(p); });
    connect(p, &QCustomPlot::mouseDoubleClick, this, [this, p](QMouseEvent* e) {
        // On the time axis, a marker there; in the plot, the whole measurement again.
        if (nearTimeAxis(p, e->position().toPoint()) && source_ && !source_->empty()) {
            if (onMarkerRequested) onMarkerRequested(p->xAxis->pixelToCoord(e->position().x()));
            return;
        }
        resetView();
        if (onViewMoved) onViewMoved();
    });
    p->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(p, &QWidget::customContextMenuRequested, this, [this, p](const QPoint& at) {
        if (!source_ || source_->empty() || !onMarkerRequested) return;
        const double t = p->xAxis->pixelToCoord(at.x());
        QMenu menu(p);
        menu.addAction(QStringLiteral("在此处设标记"), this, [this, t] { onMarkerRequested(t); });
        menu.exec(p->mapToGlobal(at));
    });
    connect(p->selectionRect(), &QCPSelectionRect::accepted, this, [this, p](const QRect& r) {
        p->setSelectionRectMode(QCP::srmNone);
        const double a = p->xAxis->pixelToCoord(r.left()), b = p->xAxis->pixelToCoord(r.right());
        if (b > a) setView(a, b);
        if (onViewMoved) onViewMoved();
    });
    p->installEventFilter(this);
    p->setMouseTracking(true);
    panels[static_cast<size_t>(k)] = p;
}

int TrendPlots::panelOf(QObject* o) const {
    for (int k = 0; k < kPanels; ++k)
        if (panels[static_cast<size_t>(k)] == o) return k;
    return -1;
}

void TrendPlots::setSource(const TrendSource* s) {
    source_ = s;
    cursors_ = {-1, -1};
    for (TrendTimeTicker* t : tickers_) t->startClock = s ? s->startClock : 0;
    shadeGaps();
    resetView();
}

void TrendPlots::sourceChanged() {
    for (TrendTimeTicker* t : tickers_) t->startClock = source_ ? source_->startClock : 0;
    shadeGaps();
    scheduleRedraw();
}

double TrendPlots::gapStart(const ReceiveGap& g) const {
    // At the sample before it (the start, for a gap before the first); it lasts its seconds from there.
    const int64_t before = g.afterSample - source_->firstNumber;
    return before >= 0 ? source_->time(std::min(before, source_->size() - 1)) : 0.0;
}

void TrendPlots::shadeGaps() {
    for (int k = 0; k < kPanels; ++k) {
        for (QCPItemRect* band : gapBands_[static_cast<size_t>(k)]) panels[static_cast<size_t>(k)]->removeItem(band);
        gapBands_[static_cast<size_t>(k)].clear();
    }
    if (!source_) return;
    for (const ReceiveGap& g : source_->gaps.list()) {
        if (g.afterSample - source_->firstNumber >= source_->size() - 1) continue;  // nothing after it yet
        const double from = gapStart(g);
        for (int k = 0; k < kPanels; ++k) {
            QCustomPlot* p = panels[static_cast<size_t>(k)];
            auto* band = new QCPItemRect(p);
            band->setLayer(QStringLiteral("background"));
            band->setSelectable(false);
            band->setPen(Qt::NoPen);
            band->setBrush(QColor(0, 0, 0, 28));
            for (QCPItemPosition* corner : {band->topLeft, band->bottomRight}) {
                corner->setTypeX(QCPItemPosition::ptPlotCoords);
                corner->setTypeY(QCPItemPosition::ptAxisRectRatio);
            }
            band->topLeft->setCoords(from, 0);
            band->bottomRight->setCoords(from + g.seconds, 1);
            gapBands_[static_cast<size_t>(k)].push_back(band);
        }
    }
}

void TrendPlots::resetView() {
    if (source_ && !source_->empty())
        setView(source_->time(0), std::max(source_->time(source_->size() - 1), source_->time(0) + 1));
    else setView(0, 10);
}

void TrendPlots::setView(double t0, double t1) {
    if (!(t1 > t0)) return;
    panels[0]->xAxis->setRange(t0, t1);  // the other panels follow through viewChangedBy
    viewChangedBy(panels[0]);
}

double TrendPlots::viewStart() const { return panels[0]->xAxis->range().lower; }
double TrendPlots::viewEnd() const { return panels[0]->xAxis->range().upper; }

void TrendPlots::viewChangedBy(QCustomPlot* source) {
    if (syncing_) return;
    syncing_ = true;
    QCPRange r = source->xAxis->range();
    // Never wider than the source (with a little room), never narrower than a hundredth of a second.
    if (source_ && !source_->empty()) {
        const double first = source_->time(0), last = source_->time(source_->size() - 1);
        const double span = std::max(last - first, 1.0);
        if (r.size() > span * 1.05) r = QCPRange(first - span * 0.025, last + span * 0.025);
    }
    if (r.size() < 0.01) r = QCPRange(r.center() - 0.005, r.center() + 0.005);
    for (QCustomPlot* p : panels) p->xAxis->setRange(r);
    syncing_ = false;
    scheduleRedraw();
}

void TrendPlots::setPanelVisible(int k, bool on) {
    panels[static_cast<size_t>(k)]->setVisible(on);
    scheduleRedraw();
}

bool TrendPlots::panelVisible(int k) const { return !panels[static_cast<size_t>(k)]->isHidden(); }

void TrendPlots::setTimeMode(TrendTimeMode mode) {
    for (TrendTimeTicker* t : tickers_) t->mode = mode;
    scheduleRedraw();
}

void TrendPlots::setValueAxesFixed(bool fixed) {
    fixed_ = fixed;
    scheduleRedraw();
}

void TrendPlots::setCursors(int64_t a, int64_t b) {
    cursors_ = {a, b};
    placeCursors();
    for (QCustomPlot* p : panels)
        if (p->isVisible()) p->replot(QCustomPlot::rpQueuedReplot);
}

void TrendPlots::placeCursors() {
    for (int k = 0; k < kPanels; ++k) {
        for (int c = 0; c < 2; ++c) {
            QCPItemStraightLine* l = lines_[static_cast<size_t>(k)][static_cast<size_t>(c)];
            const int64_t i = cursors_[static_cast<size_t>(c)];
            const bool shown = source_ && i >= 0 && i < source_->size();
            l->setVisible(shown);
            if (!shown) continue;
            const double t = source_->time(i);
            l->point1->setCoords(t, 0);
            l->point2->setCoords(t, 1);
        }
    }
}

void TrendPlots::scheduleRedraw() {
    if (redrawPending_) return;
    redrawPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (redrawPending_) redraw();
    });
}

void TrendPlots::redrawNow() {
    redraw();
    for (QCustomPlot* p : panels)
        if (p->isVisible()) p->replot(QCustomPlot::rpImmediateRefresh);
}

void TrendPlots::redraw() {
    redrawPending_ = false;
    // The time labels under the lowest visible panel only: the others share its axis.
    int lowest = -1;
    for (int k = 0; k < kPanels; ++k)
        if (panelVisible(k)) lowest = k;
    const double t0 = viewStart(), t1 = viewEnd();
    for (int k = 0; k < kPanels; ++k) {
        QCustomPlot* p = panels[static_cast<size_t>(k)];
        p->xAxis->setTickLabels(k == lowest);
        if (k == lowest) {
            const TrendTimeUnit u = trendTimeUnit(t1 - t0, t1);
            const bool clock = tickers_[0]->mode == TrendTimeMode::ClockTime;
            p->xAxis->setLabel(clock ? QStringLiteral("时刻") : QStringLiteral("时间 (%1)").arg(QLatin1String(u.name)));
        } else {
            p->xAxis->setLabel(QString());
        }
        if (!panelVisible(k)) continue;
        const int columns = std::max(1, p->axisRect()->width());
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        const auto& qs = quantities_[static_cast<size_t>(k)];
        // The curve of quantity q of `s`, its times moved on by `shift`, into `graph`; its extremes in view
        // widen lo..hi.
        const auto draw = [&](const TrendSource* s, TrendQuantity q, double shift, QCPGraph* graph) {
            QVector<QCPGraphData> data;
            const bool shown = s && (!isMotorQuantity(q) || s->motorUsable);
            if (shown) {
                envelope(*s, q, t0 - shift, t1 - shift, columns, points_);
                data.resize(static_cast<int>(points_.t.size()));
                for (size_t j = 0; j < points_.t.size(); ++j) {
                    const double t = points_.t[j] + shift;
                    data[static_cast<int>(j)] = QCPGraphData(t, points_.v[j]);
                    if (t >= t0 && t <= t1 && std::isfinite(points_.v[j])) {
                        lo = std::min(lo, points_.v[j]);
                        hi = std::max(hi, points_.v[j]);
                    }
                }
            }
            // No line across a gap of the receive: nothing was measured there.
            const bool gaps = shown && breakAtGaps(*s, shift, t0, t1, data);
            graph->data()->set(data, !gaps);
        };
        for (size_t g = 0; g < qs.size(); ++g) {
            draw(source_, qs[g], 0, p->graph(static_cast<int>(g)));
            if (!compareGraphs_[static_cast<size_t>(k)].empty())
                draw(compare_, qs[g], shift_, compareGraphs_[static_cast<size_t>(k)][g]);
        }
        if (!fixed_ && lo <= hi) {
            const double pad = hi > lo ? (hi - lo) * 0.08 : std::max(std::fabs(hi) * 0.05, 0.5);
            p->yAxis->setRange(lo - pad, hi + pad);
        }
    }
    placeCursors();
    placeValueCursors();
    for (QCustomPlot* p : panels)
        if (p->isVisible()) p->replot(QCustomPlot::rpQueuedReplot);
    if (source_ && onReadFailure && !source_->failure().isEmpty()) onReadFailure(source_->failure());
}

std::vector<TrendQuantity> TrendPlots::visibleQuantities() const {
    std::vector<TrendQuantity> out;
    for (int k = 0; k < kPanels; ++k) {
        if (!panelVisible(k)) continue;
        for (TrendQuantity q : quantities_[static_cast<size_t>(k)])
            if (!isMotorQuantity(q) || (source_ && source_->motorUsable)) out.push_back(q);
    }
    return out;
}

void TrendPlots::showReadout(double t) {
    if (!source_ || source_->empty()) return;
    const int64_t i = source_->nearest(t);
    const double at = source_->time(i);
    for (auto& l : lines_) {
        l[2]->setVisible(true);
        l[2]->point1->setCoords(at, 0);
        l[2]->point2->setCoords(at, 1);
    }
    for (QCustomPlot* p : panels)
        if (p->isVisible()) p->replot(QCustomPlot::rpQueuedReplot);
    if (onReadout) onReadout(trendReadout(*source_, i, visibleQuantities()));
}

bool TrendPlots::eventFilter(QObject* watched, QEvent* e) {
    const int k = panelOf(watched);
    if (k < 0 || !source_ || source_->empty()) return QWidget::eventFilter(watched, e);
    QCustomPlot* p = panels[static_cast<size_t>(k)];
    const auto timeAt = [p](QMouseEvent* m) { return p->xAxis->pixelToCoord(m->position().x()); };
    switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() != Qt::LeftButton) break;
            if (m->modifiers() & Qt::ControlModifier) {
                if (onSamplePicked) onSamplePicked(source_->firstNumber + source_->nearest(timeAt(m)));
                return true;
            }
            if (m->modifiers() & Qt::ShiftModifier) {
                p->setSelectionRectMode(QCP::srmCustom);  // a rubber band instead of a drag
                break;
            }
            if ((m->modifiers() & Qt::AltModifier) && compare_) {
                draggingCompare_ = true;  // the comparison slides along the time axis
                dragFrom_ = timeAt(m);
                return true;
            }
            for (int c = 0; c < 2; ++c) {
                const int64_t i = cursors_[static_cast<size_t>(c)];
                if (i < 0 || i >= source_->size()) continue;
                if (std::fabs(p->xAxis->coordToPixel(source_->time(i)) - m->position().x()) <= kGrabPixels) {
                    dragging_ = c;
                    return true;
                }
            }
            if (valueShown_ && std::fabs(p->yAxis->coordToPixel(values_[static_cast<size_t>(k)]) -
                                         m->position().y()) <= kGrabPixels) {
                draggingValue_ = k;
                return true;
            }
            if (onViewMoved) onViewMoved();
            break;
        }
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(e);
            const double t = timeAt(m);
            if (draggingCompare_) {
                if (onComparisonDragged) onComparisonDragged(t - dragFrom_);
                dragFrom_ = t;
                return true;
            }
            if (draggingValue_ == k) {
                values_[static_cast<size_t>(k)] = p->yAxis->pixelToCoord(m->position().y());
                placeValueCursors();
                p->replot(QCustomPlot::rpQueuedReplot);
                if (onValueCursorMoved) onValueCursorMoved(k, values_[static_cast<size_t>(k)]);
                return true;
            }
            if (dragging_ >= 0) {
                cursors_[static_cast<size_t>(dragging_)] = source_->nearest(t);
                placeCursors();
                if (onCursorsMoved) onCursorsMoved(cursors_[0], cursors_[1]);
            }
            showReadout(t);
            if (dragging_ >= 0) return true;
            break;
        }
        case QEvent::MouseButtonRelease:
            if (dragging_ >= 0 || draggingValue_ >= 0 || draggingCompare_) {
                dragging_ = draggingValue_ = -1;
                draggingCompare_ = false;
                return true;
            }
            break;
        case QEvent::Wheel:
            if (onViewMoved) onViewMoved();
            break;
        default: break;
    }
    return QWidget::eventFilter(watched, e);
}

bool TrendPlots::nearTimeAxis(QCustomPlot* p, const QPoint& at) const {
    return at.y() > p->axisRect()->bottom() && at.x() >= p->axisRect()->left() && at.x() <= p->axisRect()->right();
}

}  // namespace mervo
