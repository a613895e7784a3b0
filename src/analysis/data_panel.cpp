#include "analysis/data_panel.h"

#include <cmath>

#include "measurement/reactive_sign.h"
#include "measurement/sample_math.h"
#include "shared/time_split.h"
#include "shared/number_format.h"

namespace mervo {

namespace {

constexpr int kBoxOutputPower = 16;
constexpr int kBoxEfficiency = 17;
constexpr int kBoxLoadRate = 18;

}  // namespace

PanelSample panelSample(SharedState& st, float t, bool sweep) {
    PanelSample s;
    s.values = st.live.LiveValues;
    s.elapsed = t;
    SplitTime(t, st.time);
    s.time = st.time;

    MotorValues& m = st.motor;
    const MotorSample motor = updateMotorOutputs(m, st.live.LiveValues[2]);
    s.state = motor.state;
    if (motor.outputs) {
        s.outputPower = motor.outputs->outputPower;
        s.efficiency = motor.outputs->efficiency;
        s.loadRate = motor.outputs->loadRate;
    } else if (s.state == MotorState::NoMotorData && sweep) {
        // The pass clears them; the query leaves what the last evaluated sample gave, as does a generating sample.
        setMotorOutputs(m, MotorOutputs{});
    }
    return s;
}

PanelContent panelTexts(const PanelSample& s) {
    PanelContent c;
    const auto& v = s.values;
    for (int n = 0; n < 12; ++n) c.boxes[n] = formatFixed3(n == 2 ? v[n] : std::fabs(v[n]));
    c.indicator = QLatin1String(panelIndicator(v[8]));
    c.boxes[12] = formatPrintNumber(s.time.TimeH);
    c.boxes[13] = formatPrintNumber(s.time.TimeM);
    c.boxes[14] = formatPrintNumber(s.time.TimeS);
    c.boxes[19] = formatPrintNumber(s.time.TimeCs);
    c.boxes[15] = formatFixed3(v[2]);

    switch (s.state) {
        case MotorState::Running:
        case MotorState::BelowNoLoad:
            c.boxes[kBoxOutputPower] = formatFixed3(*s.outputPower);
            c.boxes[kBoxEfficiency] = formatFixed3(*s.efficiency);
            c.boxes[kBoxLoadRate] = formatFixed3(*s.loadRate);
            break;
        case MotorState::Generating:
            c.boxes[kBoxOutputPower] = c.boxes[kBoxEfficiency] = c.boxes[kBoxLoadRate] = QString();
            break;
        case MotorState::NoMotorData:
            break;  // boxes 16..18 keep what they showed
    }
    c.state = s.state;
    c.motorCaption = motorStateMessage(s.state);
    c.motorColour = s.state == MotorState::Running ? kBlack : kRed;
    c.sample = s;
    return c;
}

PanelContent panelFill(SharedState& st, float t, bool sweep) { return panelTexts(panelSample(st, t, sweep)); }

PanelSample sweepSample(SharedState& st, float elapsed) {
    auto& live = st.live;
    std::array<float, 9> fromFile{};
    for (int i = 0; i < 9; ++i) fromFile[i] = live.SampleValues[i] = live.LiveValues[i];
    DeriveRecord(live.SampleValues, live.LiveValues);

    RunningSums& sums = st.sums;
    sums.SumP = sums.SumP + live.LiveValues[2];
    sums.SumQ = sums.SumQ + live.LiveValues[5];
    sums.BlockCount = sums.BlockCount + 1;
    // The energy over the elapsed time itself: the difference of two clock readings near midnight would lose
    // the hundredths a float can still hold in the elapsed time.
    sums.EnergyP = static_cast<float>(sums.SumP / sums.BlockCount * elapsed / 3600.0);
    sums.EnergyQ = static_cast<float>(sums.SumQ / sums.BlockCount * elapsed / 3600.0);
    live.LiveValues[10] = std::fabs(sums.EnergyP) * 1000.0f;
    live.LiveValues[11] = std::fabs(sums.EnergyQ) * 1000.0f;

    PanelSample s = panelSample(st, elapsed, true);
    s.fileValues = fromFile;
    return s;
}

PanelContent ShowSweepSample(SharedState& st, float elapsed) { return panelTexts(sweepSample(st, elapsed)); }

}  // namespace mervo
