#include "motor/operating_point.h"

#include <cmath>

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

MotorState classifyMotorState(const MotorValues& m, float sumP) {
    if (!m.MotorDataValid) return MotorState::NoMotorData;
    if (sumP > m.MotorNoLoadPower) return motorModelUsable(m) ? MotorState::Running : MotorState::NoMotorData;
    if (sumP >= 0.0f) return MotorState::BelowNoLoad;
    return MotorState::Generating;
}

MotorOutputs operatingPoint(const MotorValues& m, float pIn) {
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

MotorSample updateMotorOutputs(MotorValues& m, float sumP) {
    const MotorSample s = evaluateMotor(m, sumP);
    if (s.outputs) setMotorOutputs(m, *s.outputs);
    return s;
}

}  // namespace mervo
