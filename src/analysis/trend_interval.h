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
// The rows as tab-separated lines under a header line, for the clipboard.
QString intervalTableText(const std::vector<IntervalRow>& rows);

}  // namespace mervo
