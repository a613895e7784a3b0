// One chunk of the analysis pass's samples as arrays, and what is read off it: the panel of one of its samples
// and the ten plotted values of all of them.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/curves.h"
#include "analysis/data_panel.h"
#include "analysis/sample_row_buffer.h"

namespace mervo {

// The arrays of one chunk of samples, allocated once per pass: the samples as read and derived, and what the pass
// carries into them. Small enough to stay in the processor's cache from the read through the last of the three
// steps over it.
struct SampleChunk : SampleRowBuffer {
    static constexpr int64_t kSamples = 2048;
    std::vector<float> elapsed, ep, eq;
    std::vector<double> cumP, cumQ, count;
    // What the curves plot of each sample: the motor outputs as they hold after it, and whether it runs.
    std::vector<float> shownEfficiency, shownLoadRate;
    std::vector<uint8_t> running;
    Status read;  // how reading the chunk went

    // Room for `samples` samples.
    void ensure(int64_t samples);
    // Samples first+1 .. first+count read from `stream` with what each needs on its own: the totals and the
    // motor evaluation. Touches nothing but this chunk, so one thread can prepare it while another carries
    // a different one.
    void prepare(const SampleStream& stream, const MotorValues& motor, int64_t first, int64_t count);

    MotorOutputs outputsOf(size_t row) const;
    // The panel's values of sample `row` (its clock as carried into `elapsed`).
    PanelSample panelSample(size_t row) const;
    // The first `count` samples as the cumulative curves plot them.
    CurveChunk curves(int64_t count) const;
};

}  // namespace mervo
