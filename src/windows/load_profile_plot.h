// The load profile of a motor assessment as an interactive chart: a bar per load-rate band, its height the share
// of the interval's time, captioned, and the economic load rates β_a and β_c as dashed lines, labelled.
#pragma once

#include <qcustomplot.h>

#include "printing/assessment_table.h"

namespace mervo {

class LoadProfilePlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit LoadProfilePlot(QWidget* parent = nullptr);
    // Draws `c` in place of what was shown; an empty chart leaves bare axes.
    void draw(const LoadProfileChart& c);
};

}  // namespace mervo
