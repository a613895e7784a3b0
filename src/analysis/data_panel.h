// The sample data panel of the analysis: the per-sample computation of the analysis pass (derived values,
// energy so far, motor operating point) and the texts the panel shows for one sample.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "motor/operating_point.h"
#include "platform/surface.h"
#include "shared/shared_state.h"

namespace mervo {

// The numbers behind the panel for one sample, before they are turned into texts. Cheap to produce, so a
// caller that shows only some samples (a long pass, the command line) formats only those.
struct PanelSample {
    std::array<float, 12> values{};      // LiveValues in display layout; element 8 the signed power factor
    std::array<float, 9> fileValues{};   // the nine values as read from the file (set by the sweep and the query)
    float elapsed = 0;                   // the time shown, seconds
    TimeParts time;                      // `elapsed` split for the time boxes
    MotorState state = MotorState::NoMotorData;
    // The motor outputs as the panel shows them (boxes 16..18); none where those boxes are cleared or untouched.
    std::optional<float> outputPower, efficiency, loadRate;
};

// What the panel shows. Boxes 0..11 the sample's values, 12..14 and 19 the time parts, 15 input power,
// 16..18 output power, efficiency, load rate. A box whose text is nothing is left untouched (it keeps what it
// showed); an empty text clears it.
struct PanelContent {
    std::array<std::optional<QString>, 20> boxes;
    QString indicator;     // "L" or "C"
    MotorState state = MotorState::NoMotorData;
    QString motorCaption;  // the motor frame's caption: the state's message
    Colour motorColour = 0;  // 0 black while running, 255 red otherwise
    PanelSample sample;    // the numbers the texts were made from
};

// The panel's computation for the sample in LiveValues (display layout) at elapsed time t: time parts and the
// motor state with its outputs. In the sweep (`sweep` true) the state "no motor data" sets the three motor
// outputs to 0; the record query leaves them.
PanelSample panelSample(SharedState& st, float t, bool sweep);
// The texts, caption and colours of the panel for one sample.
PanelContent panelTexts(const PanelSample& s);

// Panel fill for the sample in LiveValues (display layout) at elapsed time t: panelSample, then panelTexts.
PanelContent panelFill(SharedState& st, float t, bool sweep);

// The analysis pass's per-sample step without the texts: DeriveRecord, the running sums, the energy reached at
// `elapsed` (in W·h and var·h in LiveValues 10 and 11) and the panel's computation. The sample's nine stored
// values are in LiveValues[0..8] when called.
PanelSample sweepSample(SharedState& st, float elapsed);

// The analysis pass's per-sample step: sweepSample, then the panel texts.
PanelContent ShowSweepSample(SharedState& st, float elapsed);

}  // namespace mervo
