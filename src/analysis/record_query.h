// The record query: one sample of the analysed measurement in the data panel, and the segmented curves of the
// samples around it on the ten segmented boxes, the queried sample marked with a white cross.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "analysis/curves.h"
#include "analysis/data_panel.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

constexpr Colour kSegmentColour = kGreen;
constexpr Colour kMarkerColour = kWhite;
constexpr double kMarkerHalf = 100;  // the cross is 200 twips wide and high

// The window of samples around the queried one and the points drawn on the segmented boxes. The marker keeps
// its place between queries.
struct SegmentedCurveState {
    float ShareFirst = 0, ShareLast = 0;
    float CurveX = 0, CurvePrevX = 0;
    std::array<float, kCurves> CurvePrevY{};
    float MarkerX = 0;
    std::array<float, kCurves> MarkerY{};
};

// The samples a query can reach: those of the last complete pass (SampleCount, and the energy sums that pass
// kept). 0 before a pass.
int64_t queryableSamples(const SharedState& st);

// The active and reactive energy (W·h, var·h, as the panel shows them) the last complete pass had reached at
// sample `no` (1..queryableSamples), worked out again from its energy sums and the samples of WorkFile.
Status energiesReached(const SharedState& st, int64_t no, float* ep, float* eq);

// The text of the query box checked against 1..sampleCount. 0 or less becomes 1 and more than sampleCount
// becomes sampleCount, and the box shows the corrected number; text that is not a whole number is refused
// with a message for the operator, and the box keeps its text.
struct QueryNumber {
    bool ok = false;
    int64_t number = 0;  // 1..sampleCount when ok
    bool corrected = false;
    QString text;        // what the query box shows afterwards
    QString message;     // why it was refused
};
QueryNumber checkQueryNumber(const QString& text, int64_t sampleCount);

// One point of the segmented curves: sample `s` of the window (its values in LiveValues, display layout, and
// the motor outputs of its evaluation), `width` samples spanning the box. Draws on the segmented boxes when
// `boxes` is not null and remembers the point; the queried sample's point becomes the marker.
void PlotTimeSharePoint(SharedState& st, const CurveBoxes* boxes, SegmentedCurveState& seg, float width,
                        int64_t queryNo, int64_t s);

// The query of sample `no` (1..queryableSamples) of WorkFile after a complete pass: fills `panel` with the
// sample, then redraws the ten segmented boxes for the samples within SegmentCount of it and marks it. With
// null `boxes` nothing is drawn and the value grids are left alone. A number outside the analysed samples is
// refused, as is a file that no longer holds them; nothing is read outside the file and nothing is drawn then.
Status FENG(SharedState& st, const CurveBoxes* boxes, int64_t no, SegmentedCurveState& seg, PanelContent* panel);

}  // namespace mervo
