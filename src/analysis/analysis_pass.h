// The analysis pass: one sequential read of the measurement that derives every sample, keeps the running
// sums the record query works its energies out from, collects the efficiency and load-rate extremes and draws the cumulative curves. It runs in slices
// so a window can stay responsive and show progress.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "analysis/curves.h"
#include "analysis/data_panel.h"
#include "analysis/sample_rows.h"
#include "measurement/receive_gaps.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

// The energy reached after `count` samples whose total powers add up to `sum` and which cover `elapsed` seconds
// (the receive's gaps left out): their mean power over that time, in kWh (kvarh), signed. The panel shows its
// magnitude in W·h (var·h). The pass and the record query both work it out here, so they agree to the bit.
inline float energyReached(double sum, double count, float elapsed) {
    return static_cast<float>(sum / count * elapsed / 3600.0);
}

class AnalysisPass {
public:
    // `boxes` may be null (no drawing, e.g. the command line).
    AnalysisPass(SharedState& state, CurveBoxes* boxes);
    ~AnalysisPass();

    // Opens WorkFile (the working file of `programDir` when WorkFile is empty), reads header and trailer,
    // sets SampleCount, resets the statistics, clears the boxes and sets up the axes. False with a message in
    // the program's style for a file that cannot be analysed (unreadable, no samples, duration 0, not a whole
    // number of samples). A file missing only its trailer is analysed from its samples; `warning` says so.
    Status begin(const QString& programDir, QString* warning = nullptr);
    // Processes up to `maxSamples` more samples; true once the pass is over: every sample done (then the
    // totals, the energy sums and the maximum/minimum text are in place) or failed().
    bool step(int64_t maxSamples);
    int64_t done() const;
    int64_t total() const;

    // Every sample's numbers, a chunk of them at a time, in order (an export writes them). Left unset, the
    // pass works out the clock and the panel for the last sample of each chunk only: a window shows
    // lastPanel() once per slice.
    std::function<void(const SampleRows&)> onRows;
    // The same one sample at a time, as the panel would show it.
    std::function<void(const PanelSample&)> onSample;
    // Each chunk's rows as soon as they are read and worked out (stored values, totals, motor outputs; no clock
    // or energies yet), on whichever thread did so, before onRows has them: for work on a chunk that needs
    // nothing from the samples before it, which then runs on both cores. It may write only what belongs to
    // rows.slot, which stays the chunk's until onRows has had it.
    std::function<void(const SampleRows&)> onPrepared;
    static constexpr int kChunkSlots = 4;

    // Whether the rows handed to onRows carry each sample's elapsed time and the energies reached (default
    // yes); without them (null), a job that reads only the values saves their arithmetic.
    void rowsWithClocks(bool with);
    // Whether the pass keeps the energy sums the record query reads (default yes); a job that never queries
    // saves their time.
    void keepEnergySeries(bool keep);
    // Whether a complete measurement without samples is accepted (default no): the pass then ends in begin()
    // with the axes of its trailer and nothing drawn, for a report that prints its frames and grids.
    void allowNoSamples(bool allow);

    // Once the axes are set up (CurveUnit, CurveAxisMin/Max/Step, TimeStep): the tick labels can be shown.
    // Within begin() for a complete file; for a file without its trailer after the scan that finds the
    // maxima and minima, within a later step().
    std::function<void()> onAxes;

    // Column width of the cumulative drawing in twips (see CumulativePlotter); set before begin().
    void setColumnWidth(double twips);

    // The gaps of the receive that recorded the measurement (from its sidecar), after begin(): the times the
    // rows and the panel show include them.
    const ReceiveGaps& gaps() const;

    // What the panel shows after the samples done so far, as if every sample had been shown in turn.
    PanelContent lastPanel() const;
    bool axesReady() const;
    bool finished() const;  // every sample done, statistics and energy sums complete
    // A read error during step(): the pass is over, `error()` says why in the operator's words.
    bool failed() const;
    const QString& error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace mervo
