// The motor's operating point from its electrical input: load rate, output power and efficiency, from the
// nameplate and a loss model of constant losses plus load losses growing with the square of the load.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "shared/shared_state.h"

namespace mervo {

enum class MotorState {
    NoMotorData,  // incomplete nameplate, or one the loss model cannot evaluate
    Running,      // input above the no-load power: the operating point is computed
    BelowNoLoad,  // 0 <= input <= no-load power
    Generating,   // input below 0
};

// "无电机参数或参数不全", "电动机运行数据", "输入功率 小于 空载功率", "电动机处于发电状态".
QString motorStateMessage(MotorState state);

// Rated losses (kW): (100 / rated efficiency - 1) * rated power.
float ratedLoss(float ratedPower, float ratedEfficiency);

// Takes a confirmed nameplate: the seven values, the valid flag, and the rated losses when valid.
void confirmNameplate(MotorValues& m, const std::array<float, 7>& values);

// Whether the loss model can evaluate this nameplate at all: load losses at rated load (rated losses minus
// no-load power) must be positive and the no-load power not negative.
bool motorModelUsable(const MotorValues& m);

// The state of a sample with total active input power sumP (kW). A nameplate the model cannot evaluate counts
// as no motor data rather than producing a square root of a negative number.
MotorState classifyMotorState(const MotorValues& m, float sumP);

// Load rate (%), output power (kW) and efficiency (%) for input power pIn; call only in the running state.
struct MotorOutputs {
    float loadRate = 0, outputPower = 0, efficiency = 0;
};
MotorOutputs operatingPoint(const MotorValues& m, float pIn);
// The same, into m's MotorLoadRate, MotorOutputPower and MotorEfficiency.
void MotorOperatingPoint(MotorValues& m, float pIn);

// The motor evaluation of one sample with total input power sumP (kW): its state, and the outputs the state
// gives: the operating point while running, zeros below the no-load power. A generating sample and one without
// usable motor data give none; what is shown then (an earlier sample's values, or blanks) is the caller's rule.
struct MotorSample {
    MotorState state = MotorState::NoMotorData;
    std::optional<MotorOutputs> outputs;
};
MotorSample evaluateMotor(const MotorValues& m, float sumP);
// evaluateMotor for `count` samples at once, into arrays: the outputs of sample j are meaningful where
// evaluateMotor gives outputs (and 0 elsewhere).
struct MotorOutputBlock {
    float* loadRate;
    float* outputPower;
    float* efficiency;
};
void evaluateMotorBlock(const MotorValues& m, const float* sumP, int64_t count, MotorState* states,
                        MotorOutputBlock outputs);
// Puts outputs into m's MotorLoadRate, MotorOutputPower and MotorEfficiency.
void setMotorOutputs(MotorValues& m, const MotorOutputs& outputs);
// evaluateMotor, with the outputs it gives put into m; m keeps the earlier ones where it gives none.
MotorSample updateMotorOutputs(MotorValues& m, float sumP);

}  // namespace mervo
