#include "analysis/trend_load.h"

#include "analysis/analysis_pass.h"
#include "measurement/reader.h"

namespace mervo {

TrendLoader::TrendLoader() = default;
TrendLoader::~TrendLoader() = default;

Status TrendLoader::begin(const QString& path, TrendSeries& series, QString* warning) {
    series_ = &series;
    series.reset(0, 0);
    st_ = SharedState{};
    st_.file.WorkFile = path;
    pass_ = std::make_unique<AnalysisPass>(st_, nullptr);
    pass_->keepEnergySeries(false);  // the trend keeps its own arrays
    pass_->onRows = [this](const SampleRows& r) {
        series_->append(r);
    };
    if (Status s = pass_->begin(QString(), warning); !s) return s;
    series.reset(st_.file.TotalTime, pass_->total());
    series.firstNumber = 1;
    series.motorUsable = motorModelUsable(st_.motor);
    series.gaps = pass_->gaps();
    MeasurementReader reader;
    if (reader.open(path)) series.startClock = reader.info().header.StartTime;
    return {};
}

bool TrendLoader::step(int64_t maxSamples) { return !pass_ || pass_->step(maxSamples); }
bool TrendLoader::failed() const { return !pass_ || pass_->failed(); }
QString TrendLoader::error() const { return pass_ ? pass_->error() : QString(); }
int64_t TrendLoader::done() const { return pass_ ? pass_->done() : 0; }
int64_t TrendLoader::total() const { return pass_ ? pass_->total() : 0; }

Status loadTrend(const QString& path, TrendSeries& series, QString* warning) {
    TrendLoader loader;
    if (Status s = loader.begin(path, series, warning); !s) return s;
    while (!loader.step(1 << 20)) {
    }
    if (loader.failed()) return Status::failure(loader.error());
    return {};
}

}  // namespace mervo
