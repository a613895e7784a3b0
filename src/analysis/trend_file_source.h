// A measurement file as the trend window's source, in bounded memory on any length: one analysis pass of its
// own (the other windows' state is left as it was) summarises the samples into a pyramid of extremes, a slice
// at a time; whatever needs samples themselves (a zoomed view, the readout, an interval) reads them from the
// file by position and derives them as the pass does.
#pragma once

#include <QString>
#include <array>
#include <memory>
#include <vector>

#include "analysis/sample_row_buffer.h"
#include "analysis/trend_source.h"
#include "measurement/reader.h"
#include "shared/shared_state.h"

namespace mervo {

class AnalysisPass;

class TrendFileSource : public TrendSource {
public:
    TrendFileSource();
    ~TrendFileSource() override;

    // Opens `path` and starts summarising `quantities` (the others are drawn from their samples only). A file
    // the analysis refuses fails here with its message; `warning` tells of a file without its trailer, which
    // is read from its samples.
    Status open(const QString& path, const std::vector<TrendQuantity>& quantities,
                QString* warning = nullptr);
    // Every summary at once (the command line, tests and the benchmark).
    Status summariseAll();

    int64_t size() const override { return samples_; }
    double time(int64_t i) const override;
    double stepSeconds() const override;
    bool update() override;
    bool settled() const override { return !pass_; }
    QString status() const override;
    QString failure() const override { return failure_; }
    Status addTo(IntervalAccumulator& acc, int64_t from, int64_t to) override;
    size_t bytes() const override;

    // Samples summarised so far, for progress.
    int64_t done() const;

    // Samples read by position at a time: what a zoomed view or the readout brings into memory.
    static constexpr int64_t kPage = 512;
    static constexpr int64_t kPages = 512;  // pages held, about 17 MB once all are used

protected:
    Run runAt(int64_t i) const override;

private:
    struct Page {
        float values[kTrendQuantities][kPage];
        MotorState state[kPage];
    };
    void summarise(const SampleRows& r);
    // Samples [first, first + count) into `p`; a sample that cannot be read is NaN without a motor state.
    Status readPage(Page& p, int64_t first, int64_t count) const;

    SharedState st_;
    std::unique_ptr<AnalysisPass> pass_;
    SampleStream file_;  // positional reads only
    MotorValues motor_;
    float totalTime_ = 0;
    int64_t samples_ = 0;
    std::array<std::vector<float>, kTrendQuantities> columns_;  // one chunk of the pass, for the pyramid

    // Pages read, each in the slot of its number modulo kPages, so a view's consecutive pages never evict
    // each other; allocated once, their memory taken as they are used.
    mutable std::unique_ptr<Page[]> pages_;
    mutable std::vector<int64_t> pageAt_;
    mutable SampleRowBuffer rows_;  // samples read by position, for a page or an interval
    mutable QString failure_;         // the first read that failed
};

}  // namespace mervo
