// What a motor's nameplate says about its economic operation, before any measurement: its rated and allowed
// comprehensive efficiencies and its economic load rates. The formulas and their sources are in the note at the
// head of assessment/motor_assessment.h.
#pragma once

#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

// The reactive economic equivalent K_Q (kW of losses upstream per kvar drawn) and the target power factor of
// the compensation, as the operator chooses them.
struct AssessmentSettings {
    double kq = 0.05;  // published range 0.02 to 0.1
    double targetPowerFactor = 0.95;
};
// A K_Q or target power factor the assessment cannot use: empty, or why, in the operator's words.
QString checkAssessmentSettings(const AssessmentSettings& s);

struct RatedFigures {
    double ratedPower = 0, ratedCurrent = 0, ratedVoltage = 0, noLoadCurrent = 0, noLoadPower = 0;  // kW, A, V
    double ratedEfficiency = 0;   // %
    double ratedLoss = 0;         // P_loss, kW
    double loadLoss = 0;          // P_K = P_loss − P0, kW: the variable losses at rated load
    double ratedPowerFactor = 0;  // cos φ_N
    double ratedReactive = 0;     // Q_N, kvar
    double noLoadReactive = 0;    // Q0, kvar
    double ratedComprehensiveEfficiency = 0;    // η_cN, %
    double allowedEfficiency = 0;               // η_y, %
    double allowedPowerFactor = 0;              // cos φ_y
    double allowedComprehensiveEfficiency = 0;  // η_cy, %
    double economicLoadRateActive = 0;          // β_a, %
    double economicLoadRateComprehensive = 0;   // β_c, %
};

// The figures of a nameplate at K_Q `kq`; a failure naming the contradiction for a nameplate that cannot belong
// to a motor (no usable loss model, a rated power factor above 1, no-load power above the no-load apparent power).
Result<RatedFigures> ratedFigures(const MotorValues& m, double kq);

// Comprehensive efficiency (%) of output p2 kW drawing p1 kW and q1 kvar: p2 / (p1 + K_Q · q1).
inline double comprehensiveEfficiency(double p2, double p1, double q1, double kq) {
    return 100.0 * p2 / (p1 + kq * q1);
}

}  // namespace mervo
