// What the trend plot is handed for one quantity: never the whole source (the plot widget stores 16 bytes a
// point), but the visible range reduced to its pixel columns.
#pragma once

#include <vector>

#include "analysis/trend_source.h"

namespace mervo {

struct PlotPoints {
    std::vector<double> t, v;  // seconds from the start, value; NaN values break the line
    void clear() {
        t.clear();
        v.clear();
    }
};

// The samples of quantity `q` between times t0 and t1 that the source has summarised (ready()), for a plot
// `columns` pixels wide. With at most two samples per column, every sample, with one neighbour on each side
// so the line runs on to the edges; otherwise per column the minimum and the maximum of its samples (the
// picture of drawing every sample, at the cost of the columns), at the column's time span, in the order that
// joins the neighbouring columns; a column whose samples have no value gives one NaN point, a gap. A view of
// a block of samples a column or more is taken in whole blocks of the source's summaries (each block in the
// column where it starts, the view widened to the blocks it touches): it reads no sample, and a one-sample
// spike still shows.
void envelope(const TrendSource& s, TrendQuantity q, double t0, double t1, int columns, PlotPoints& out);

}  // namespace mervo
