// What the trend plots draw over the curves: a second measurement compared (dashed), the markers, the value
// cursors, and where the legends stand.
#include <qcustomplot.h>

#include "shared/number_format.h"
#include "windows/trend_plots.h"

namespace mervo {

namespace {
constexpr int kLegendWidth = 150;  // a legend beside its panel: the same width for all, so time axes line up
const QColor kMarkerColour(0, 130, 0);
}  // namespace

void TrendPlots::setComparison(const TrendSource* s, double shift, const QString& name) {
    compare_ = s;
    shift_ = shift;
    compareName_ = name;
    for (int k = 0; k < kPanels; ++k) {
        QCustomPlot* p = panels[static_cast<size_t>(k)];
        auto& graphs = compareGraphs_[static_cast<size_t>(k)];
        if (graphs.empty() && s) {
            const std::vector<TrendQuantity>& qs = quantities_[static_cast<size_t>(k)];
            for (size_t g = 0; g < qs.size(); ++g) {
                QCPGraph* graph = p->addGraph();
                graph->setPen(QPen(curveColour(k, g), 1, Qt::DashLine));
                graph->setName(QString::fromUtf8(trendQuantityInfo(qs[g]).name));
                graph->removeFromLegend();
                graphs.push_back(graph);
            }
            // One entry for the whole comparison: the dashed line says which curves are its.
            QCPGraph* entry = p->addGraph();
            entry->setPen(QPen(Qt::black, 1, Qt::DashLine));
            graphs.push_back(entry);
        }
        if (graphs.empty()) continue;
        for (QCPGraph* g : graphs) {
            g->setVisible(s != nullptr);
            if (!s) g->data()->clear();
        }
        graphs.back()->setName(name);
        if (s) graphs.back()->addToLegend();
        else graphs.back()->removeFromLegend();
    }
    if (legendPlace_ == 1) setLegendPlace(1);  // a legend beside is as tall as its entries
    scheduleRedraw();
}

void TrendPlots::setComparisonShift(double shift) {
    shift_ = shift;
    scheduleRedraw();
}

void TrendPlots::setMarkers(const std::vector<MarkerLine>& markers) {
    for (int k = 0; k < kPanels; ++k) {
        QCustomPlot* p = panels[static_cast<size_t>(k)];
        for (QCPItemStraightLine* l : markerLines_[static_cast<size_t>(k)]) p->removeItem(l);
        for (QCPItemText* t : markerLabels_[static_cast<size_t>(k)]) p->removeItem(t);
        markerLines_[static_cast<size_t>(k)].clear();
        markerLabels_[static_cast<size_t>(k)].clear();
        for (const MarkerLine& m : markers) {
            auto* line = new QCPItemStraightLine(p);
            line->setPen(QPen(kMarkerColour, 1));
            line->setSelectable(false);
            line->point1->setCoords(m.t, 0);
            line->point2->setCoords(m.t, 1);
            auto* label = new QCPItemText(p);
            label->setSelectable(false);
            label->setClipToAxisRect(true);
            label->position->setTypeX(QCPItemPosition::ptPlotCoords);
            label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
            label->position->setCoords(m.t, 0);
            label->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setPadding(QMargins(3, 1, 3, 1));
            label->setColor(kMarkerColour);
            label->setFont(p->font());
            label->setText(m.text);
            markerLines_[static_cast<size_t>(k)].push_back(line);
            markerLabels_[static_cast<size_t>(k)].push_back(label);
        }
        if (p->isVisible()) p->replot(QCustomPlot::rpQueuedReplot);
    }
}

void TrendPlots::setValueCursorsShown(bool on) {
    valueShown_ = on;
    for (int k = 0; k < kPanels && on; ++k) {
        const size_t i = static_cast<size_t>(k);
        QCustomPlot* p = panels[i];
        if (!valueLines_[i]) {
            valueLines_[i] = new QCPItemStraightLine(p);
            valueLines_[i]->setPen(QPen(QColor(0, 150, 150), 1.5, Qt::DashDotLine));
            valueLines_[i]->setSelectable(false);
            for (QCPItemPosition* end : {valueLines_[i]->point1, valueLines_[i]->point2})
                end->setTypeX(QCPItemPosition::ptAxisRectRatio);
            valueLabels_[i] = new QCPItemText(p);
            valueLabels_[i]->setSelectable(false);
            valueLabels_[i]->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
            valueLabels_[i]->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
            valueLabels_[i]->setColor(QColor(0, 110, 110));
            valueLabels_[i]->setFont(p->font());
            valueLabels_[i]->setBrush(QColor(255, 255, 255, 200));
        }
        // One not yet placed, or off the axis, starts at the middle of what is in view.
        if (!p->yAxis->range().contains(values_[i])) values_[i] = p->yAxis->range().center();
    }
    placeValueCursors();
    for (QCustomPlot* p : panels)
        if (p->isVisible()) p->replot(QCustomPlot::rpQueuedReplot);
}

void TrendPlots::setValueCursor(int k, double v) {
    values_[static_cast<size_t>(k)] = v;
    placeValueCursors();
    panels[static_cast<size_t>(k)]->replot(QCustomPlot::rpQueuedReplot);
}

void TrendPlots::placeValueCursors() {
    for (int k = 0; k < kPanels; ++k) {
        const size_t i = static_cast<size_t>(k);
        if (!valueLines_[i]) continue;
        valueLines_[i]->setVisible(valueShown_);
        valueLabels_[i]->setVisible(valueShown_);
        valueLines_[i]->point1->setCoords(0, values_[i]);
        valueLines_[i]->point2->setCoords(1, values_[i]);
        valueLabels_[i]->position->setCoords(0.005, values_[i]);
        const QString unit = panelUnit(k);
        valueLabels_[i]->setText(formatCaption(static_cast<float>(values_[i])) +
                                 (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit));
    }
}

std::pair<double, double> TrendPlots::valueRange(int k) const {
    const QCPRange r = panels[static_cast<size_t>(k)]->yAxis->range();
    return {r.lower, r.upper};
}

void TrendPlots::setValueRange(int k, double lo, double hi) {
    if (hi > lo) panels[static_cast<size_t>(k)]->yAxis->setRange(lo, hi);
}

void TrendPlots::setLegendPlace(int place) {
    legendPlace_ = std::clamp(place, 0, 2);
    for (int k = 0; k < kPanels; ++k) {
        QCustomPlot* p = panels[static_cast<size_t>(k)];
        QCPLegend* legend = p->legend;
        QCPLayoutGrid*& beside = legendColumns_[static_cast<size_t>(k)];
        if (!p->axisRect()->insetLayout()->take(legend) && beside) beside->take(legend);
        if (beside) {
            p->plotLayout()->remove(beside);  // deletes the column and its spacer
            beside = nullptr;
        }
        p->plotLayout()->simplify();
        if (legendPlace_ == 1) {
            // Beside the data in a column of its own, as wide in every panel so the time axes line up, its
            // entries one under the other at the top.
            beside = new QCPLayoutGrid;
            p->plotLayout()->addElement(0, 1, beside);
            p->plotLayout()->setColumnStretchFactor(1, 0.001);
            beside->setMargins(QMargins(0, 4, 6, 4));
            beside->setMinimumSize(kLegendWidth, 0);
            beside->setMaximumSize(kLegendWidth, QWIDGETSIZE_MAX);
            beside->addElement(0, 0, legend);
            beside->addElement(1, 0, new QCPLayoutElement(p));
            legend->setFillOrder(QCPLegend::foRowsFirst);
            legend->setMaximumSize(QWIDGETSIZE_MAX, legend->minimumOuterSizeHint().height());
            beside->setRowStretchFactor(1, 1000);
        } else {
            p->axisRect()->insetLayout()->addElement(legend, Qt::AlignTop | Qt::AlignRight);
            legend->setFillOrder(QCPLegend::foColumnsFirst);
            legend->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
        legend->setVisible(legendPlace_ != 2);
        if (p->isVisible()) p->replot(QCustomPlot::rpQueuedReplot);
    }
}

}  // namespace mervo
