// What the trend plot is handed for one quantity: never the whole series (the plot widget stores 16 bytes a
// point), but the visible range reduced to its pixel columns.
#pragma once

#include <vector>

#include "analysis/trend_series.h"
#include "analysis/trend_source.h"

namespace mervo {

struct PlotPoints {
    std::vector<double> t, v;  // seconds from the start, value; NaN values break the line
    void clear() {
        t.clear();
        v.clear();
    }
};

// The samples of quantity `q` between times t0 and t1 (with one neighbour on each side, so the line runs on
// to the edges), for a plot `columns` pixels wide. With at most two samples per column, every sample; otherwise
// per column the minimum and the maximum of its samples (the picture of drawing every sample, at the cost of the
// columns), at the column's time span, in the order that joins the neighbouring columns; a column whose samples
// have no value gives one NaN point, a gap.
void envelope(const TrendSeries& s, TrendQuantity q, double t0, double t1, int columns, PlotPoints& out);

}  // namespace mervo

namespace mervo {

// The same for a source, over the samples it has summarised (ready()). Where a column spans a block of samples
// or more, its samples are whole blocks of the source's summaries (each block in the column where it starts), so
// a zoomed-out view reads no sample, and a block's one-sample spike still shows in its column.
void envelope(const TrendSource& s, TrendQuantity q, double t0, double t1, int columns, PlotPoints& out);

}  // namespace mervo
