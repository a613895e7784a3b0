// Whether a measurement file can be analysed, and in the operator's words why not: a pass over its samples
// starts only from a file admitted here.
#pragma once

#include <QString>

#include "measurement/reader.h"
#include "shared/result.h"

namespace mervo {

// What the file at `path` holds, or the refusal of a file that cannot be analysed: missing, unreadable, of
// another kind, not a whole number of samples, without samples (unless `allowNoSamples` and the file is
// complete) or with a measuring time that is not positive. A file missing only its trailer is admitted.
Result<MeasurementInfo> admitForAnalysis(const QString& path, bool allowNoSamples);

// The refusal of an admitted file that then cannot be read from, with the system's `reason`.
QString unreadableForAnalysis(const QString& path, const QString& reason);

}  // namespace mervo
