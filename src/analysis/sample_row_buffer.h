// Consecutive samples read from a measurement by position into arrays kept from one read to the next, and derived
// by the one per-sample rule (the totals, then the motor evaluation): how the analysis pass, the trend window's
// zoomed views and intervals, and a report drawn without a pass read their samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/sample_rows.h"
#include "measurement/reader.h"
#include "motor/operating_point.h"
#include "shared/result.h"

namespace mervo {

struct SampleRowBuffer {
    std::vector<float> raw;  // nine per sample, as stored
    std::vector<float> sumP, sumQ, pf, s, loadRate, outputPower, efficiency;
    std::vector<MotorState> state;

    // Room for `samples` samples; the arrays grow only, so a buffer read again and again allocates once.
    void ensure(int64_t samples);
    // Samples first+1 .. first+count of `stream`, read and derived with the nameplate `motor`.
    Status fill(const SampleStream& stream, const MotorValues& motor, int64_t first, int64_t count);
    // The samples of the last fill, rows of samples first+1 .. first+count.
    SampleRows rows(int64_t first, int64_t count) const;
    size_t bytes() const;
};

}  // namespace mervo
