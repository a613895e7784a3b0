// The table of the statistics between the trend window's A and B cursors, as it shows and copies them.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "analysis/interval_stats.h"

namespace mervo {

struct IntervalRow {
    QString label;
    std::vector<QString> cells;  // under the header's columns after the first (fewer for a single figure)
    bool rule = false;           // a rule in words, read across the row
};
// The table's column titles: the item, the value over the interval (a mean, or for the power factor and the
// efficiency the ratio of energies), the smallest and the largest sample.
QStringList intervalTableHeader();
// The table's rows; the motor rows only with a usable nameplate. An empty cell where there is no value.
std::vector<IntervalRow> intervalTable(const IntervalStats& st);
// The same table beside a second measurement's over its aligned span: each figure of the first, the second's, and
// the difference second − first where a difference means something (the values over the interval and Δt). The
// energies of spans of different lengths are compared as rates, their energy per hour. `second` null: its
// columns stay empty (no sample of it lies in the span).
QStringList comparisonTableHeader();
std::vector<IntervalRow> comparisonTable(const IntervalStats& first, const IntervalStats* second);
// The rows as tab-separated lines under a header line, for the clipboard.
QString intervalTableText(const std::vector<IntervalRow>& rows, const QStringList& header = intervalTableHeader());

}  // namespace mervo
