// Reading a measurement into the trend window's series: one analysis pass of its own (the window's shared
// state is left as it was), whose chunks of totals and motor outputs go straight into the arrays.
#pragma once

#include <QString>
#include <memory>

#include "analysis/trend_series.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

class AnalysisPass;

class TrendLoader {
public:
    TrendLoader();
    ~TrendLoader();

    // Starts reading `path` into `series` (emptied first). A file the analysis refuses fails here with its
    // message; `warning` tells of a file without its trailer, which is read from its samples.
    Status begin(const QString& path, TrendSeries& series, QString* warning = nullptr);
    // Reads up to `maxSamples` more; true once over: every sample read, or failed().
    bool step(int64_t maxSamples);
    bool failed() const;
    QString error() const;
    int64_t done() const;
    int64_t total() const;

private:
    SharedState st_;
    std::unique_ptr<AnalysisPass> pass_;
    TrendSeries* series_ = nullptr;
};

// Reads the whole of `path` at once (the command line, tests and the benchmark).
Status loadTrend(const QString& path, TrendSeries& series, QString* warning = nullptr);

}  // namespace mervo
