// What the trend window shows, behind one interface whether it is a measurement file or the receive in
// progress: the samples' times, their quantities by the one per-sample rule, the extremes of any stretch
// (from the summaries of a TrendPyramid and the samples at its ends), and the samples of an interval for its
// statistics. The plots, the readout, the cursors and the table read nothing else.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "analysis/interval_stats.h"
#include "analysis/trend_pyramid.h"
#include "analysis/trend_series.h"
#include "measurement/receive_gaps.h"
#include "shared/result.h"

namespace mervo {

class TrendSource {
public:
    virtual ~TrendSource() = default;

    // Every sample of the source, also those not yet summarised.
    virtual int64_t size() const = 0;
    bool empty() const { return size() == 0; }
    // Samples [0, ready()) have their summaries and can be drawn; the rest is still being read.
    int64_t ready() const { return pyramid_.samples(); }
    // Seconds from the start of the measurement to sample index i (from 0): the one place a source says when
    // a sample was taken; everything else asks here.
    virtual double time(int64_t i) const = 0;
    // The time each sample stands for, as the measurement's energies count it.
    virtual double stepSeconds() const = 0;

    // One step of bringing the source up to date, short enough for a slice of the window's time: a file
    // summarises its next stretch of samples, the receive's source takes the blocks received since. True when
    // what it shows has changed.
    virtual bool update() = 0;
    // Nothing more to come by itself: a file wholly summarised (or failed), a receive that has ended.
    virtual bool settled() const = 0;
    // What the source is doing or holds, for the status line; a failure says why.
    virtual QString status() const = 0;
    // A failure of reading since it was opened (a file cut short behind it, a disk error); empty when none.
    virtual QString failure() const { return QString(); }
    // Adds samples [from, to) to the statistics of an interval, by the one statistics rule.
    virtual Status addTo(IntervalAccumulator& acc, int64_t from, int64_t to) = 0;
    // Bytes held, for the memory bound.
    virtual size_t bytes() const = 0;

    // The first index whose time is at least t (size() when none).
    int64_t lowerBound(double t) const;
    // The index of the sample nearest to time t (clamped to the source); -1 when empty.
    int64_t nearest(double t) const;

    float value(TrendQuantity q, int64_t i) const;
    TrendSample sample(int64_t i) const;
    // The smallest and largest value of q over the indexes [a, b), NaN skipped; lo > hi when none has a
    // value.
    void rangeMinMax(TrendQuantity q, int64_t a, int64_t b, float* lo, float* hi) const;
    // Samples per finest summary: a stretch of whole blocks costs no sample reads.
    static constexpr int64_t kBlock = TrendPyramid::kBlock;

    // The measurement's clock at its start (seconds since midnight), for the time-of-day axis.
    float startClock = 0;
    // The gaps of a reconnected receive, which move the times of the samples after them on (a file only).
    ReceiveGaps gaps;
    // The sample number of index 0: 1 for a file, the block number within the receive for the live source.
    int64_t firstNumber = 1;
    // Whether the nameplate lets the motor model evaluate the samples.
    bool motorUsable = false;
    // The motor's nameplate the measurement was recorded with (header records 3..9).
    std::array<float, 7> nameplate{};

protected:
    // Consecutive samples held together, as a source keeps or reads them.
    struct Run {
        int64_t first = 0, count = 0;
        std::array<const float*, kTrendQuantities> values{};  // values[k][j]: quantity k of sample first + j
        const MotorState* state = nullptr;
    };
    // The run holding sample i (0 <= i < size()); valid until the next call.
    virtual Run runAt(int64_t i) const = 0;

    TrendPyramid pyramid_;

private:
    void foldSamples(TrendQuantity q, int64_t a, int64_t b, float& lo, float& hi) const;
};

}  // namespace mervo
