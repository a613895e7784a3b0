// Twenty recording boxes wired as the analysis window wires its picture boxes.
#pragma once

#include <array>

#include "analysis/curves.h"
#include "platform/fake/recording_surface.h"

namespace mervo::test {

struct RecordingBoxes {
    std::array<RecordingSurface, kCurves> cumulative, segmented;
    CurveBoxes boxes;
    RecordingBoxes() {
        for (int k = 0; k < kCurves; ++k) {
            boxes.cumulative[k] = &cumulative[k];
            boxes.segmented[k] = &segmented[k];
        }
    }
    void forget() {
        for (auto& b : cumulative) b.calls.clear();
        for (auto& b : segmented) b.calls.clear();
    }
};

}  // namespace mervo::test
