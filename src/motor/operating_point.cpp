#include "motor/operating_point.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "shared/wide_vectors.h"

namespace mervo {

QString motorStateMessage(MotorState state) {
    switch (state) {
        case MotorState::NoMotorData: return QStringLiteral("无电机参数或参数不全");
        case MotorState::Running: return QStringLiteral("电动机运行数据");
        case MotorState::BelowNoLoad: return QStringLiteral("输入功率 小于 空载功率");
        case MotorState::Generating: return QStringLiteral("电动机处于发电状态");
    }
    return QString();
}

float ratedLoss(float ratedPower, float ratedEfficiency) { return (100.0f / ratedEfficiency - 1.0f) * ratedPower; }

void confirmNameplate(MotorValues& m, const std::array<float, 7>& values) {
    m.setNameplate(values);
    if (m.MotorDataValid) m.MotorRatedLoss = ratedLoss(m.MotorRatedPower, m.MotorRatedEfficiency);
}

bool motorModelUsable(const MotorValues& m) {
    const float k = m.MotorRatedLoss - m.MotorNoLoadPower;
    return m.MotorDataValid && std::isfinite(k) && k > 0.0f && m.MotorNoLoadPower >= 0.0f &&
           std::isfinite(m.MotorRatedPower);
}

namespace {

// The state rule, with what depends only on the nameplate worked out by the caller.
inline MotorState classify(bool valid, bool usable, float noLoadPower, float sumP) {
    if (!valid) return MotorState::NoMotorData;
    if (sumP > noLoadPower) return usable ? MotorState::Running : MotorState::NoMotorData;
    if (sumP >= 0.0f) return MotorState::BelowNoLoad;
    return MotorState::Generating;
}

// x where every bit of `keep` is set, +0 where none is.
inline float masked(float x, uint32_t keep) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits &= keep;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// The loss model; local, so the loop over many samples below gets it inlined.
inline MotorOutputs operatingPointOf(const MotorValues& m, float pIn) {
    const float k = m.MotorRatedLoss - m.MotorNoLoadPower;
    const double a = static_cast<double>(m.MotorRatedPower) * m.MotorRatedPower / 4.0;
    const float d = pIn - m.MotorNoLoadPower;
    const double r = std::sqrt(a + static_cast<double>(d) * k);
    MotorOutputs o;
    o.loadRate = static_cast<float>(100.0 * (r - m.MotorRatedPower / 2.0) / k);
    o.outputPower = o.loadRate / 100.0f * m.MotorRatedPower;
    o.efficiency = o.outputPower / pIn * 100.0f;
    return o;
}

}  // namespace

MotorState classifyMotorState(const MotorValues& m, float sumP) {
    return classify(m.MotorDataValid, m.MotorDataValid && motorModelUsable(m), m.MotorNoLoadPower, sumP);
}

MotorOutputs operatingPoint(const MotorValues& m, float pIn) { return operatingPointOf(m, pIn); }

void setMotorOutputs(MotorValues& m, const MotorOutputs& o) {
    m.MotorLoadRate = o.loadRate;
    m.MotorOutputPower = o.outputPower;
    m.MotorEfficiency = o.efficiency;
}

void MotorOperatingPoint(MotorValues& m, float pIn) { setMotorOutputs(m, operatingPoint(m, pIn)); }

MotorSample evaluateMotor(const MotorValues& m, float sumP) {
    MotorSample s;
    s.state = classifyMotorState(m, sumP);
    if (s.state == MotorState::Running) s.outputs = operatingPoint(m, sumP);
    else if (s.state == MotorState::BelowNoLoad) s.outputs = MotorOutputs{};
    return s;
}

MERVO_WIDE_VECTORS
void evaluateMotorBlock(const MotorValues& m, const float* sumP, int64_t count, MotorState* states,
                        MotorOutputBlock outputs) {
    // The nameplate is the same for every sample: whether the model can evaluate it is asked once.
    const bool valid = m.MotorDataValid, usable = motorModelUsable(m);
    const float noLoad = m.MotorNoLoadPower;
    for (int64_t j = 0; j < count; ++j) {
        states[j] = classify(valid, usable, noLoad, sumP[j]);
    }
    // The operating point of every sample, kept only where the motor runs: a loop without branches vectorises,
    // and what it works out for the other samples (a square root of a negative number, say) is thrown away.
    // A copy of the nameplate: the stores below cannot then touch it, so it stays in registers.
    const MotorValues plate = m;
    for (int64_t j = 0; j < count; ++j) {
        const MotorOutputs o = operatingPointOf(plate, sumP[j]);
        // A mask rather than a choice: the compiler would turn a choice back into a branch.
        const uint32_t keep = states[j] == MotorState::Running ? ~0u : 0u;
        outputs.loadRate[j] = masked(o.loadRate, keep);
        outputs.outputPower[j] = masked(o.outputPower, keep);
        outputs.efficiency[j] = masked(o.efficiency, keep);
    }
}

MotorSample updateMotorOutputs(MotorValues& m, float sumP) {
    const MotorSample s = evaluateMotor(m, sumP);
    if (s.outputs) setMotorOutputs(m, *s.outputs);
    return s;
}

}  // namespace mervo
