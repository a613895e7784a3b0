// Consecutive samples of an analysis pass side by side, as the pass hands them to what reads every sample.
#pragma once

#include <cstdint>

#include "motor/operating_point.h"

namespace mervo {

// Consecutive samples of a pass side by side: row r is sample first + r + 1.
struct SampleRows {
    int64_t first = 0, count = 0;
    const float* fileValues = nullptr;  // nine per row, as read from the file
    const float *sumP = nullptr, *sumQ = nullptr, *pf = nullptr, *s = nullptr;
    const float *elapsed = nullptr, *ep = nullptr, *eq = nullptr;  // seconds; W·h and var·h reached
    // The motor outputs, meaningful where the state is Running or BelowNoLoad.
    const float *outputPower = nullptr, *efficiency = nullptr, *loadRate = nullptr;
    const MotorState* state = nullptr;
    // Which of the pass's chunk buffers holds the rows, 0 .. AnalysisPass::kChunkSlots - 1: what onPrepared
    // worked out from them is found under it when onRows has them.
    int slot = 0;
};

}  // namespace mervo
