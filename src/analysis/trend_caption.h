// The caption every picture of the trend window carries, so that a picture passed on still says what it shows:
// the file, the date and the span of time in view, the motor's nameplate, and the markers in view (and the
// measurement compared with it, when there is one).
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "analysis/trend_source.h"
#include "measurement/sidecar.h"

namespace mervo {

struct TrendCaptionInput {
    QString path;                   // the measurement shown (its date is its modification date, as printouts take it)
    std::array<float, 7> nameplate{};
    double t0 = 0, t1 = 0;          // the view, seconds from the start
    std::vector<Marker> markers;    // those in view
    QString comparedPath;           // empty: nothing compared
};

// The caption's lines.
QStringList trendCaption(const TrendSource& s, const TrendCaptionInput& in);

}  // namespace mervo
