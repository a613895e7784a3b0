// Scaling a received block from the transformers' secondary values to primary ones.
#pragma once

#include <QString>
#include <array>

namespace mervo {

// Transformer scaling of the nine decoded values (elements 0..8 in file-sample order).
void ScaleRecord(std::array<float, 12>& values, float ctRatio, float ptRatio);

// The largest secondary current (A) and voltage (V) a pair of ratios is checked against: far beyond what any
// clamp or voltage input measures.
constexpr double kFullScaleCurrent = 1e4, kFullScaleVoltage = 1e4;
// Why a pair of ratios cannot be recorded with, in the operator's words, or empty: the full-scale values scaled by
// them, and the apparent power and energies formed from those, must stay well within what a float holds, or the
// first block of a receive would turn into infinities.
QString ratioPairProblem(double ctRatio, double ptRatio);

}  // namespace mervo
