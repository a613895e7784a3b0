#include "acquisition/record_scaling.h"

#include <limits>

namespace mervo {

void ScaleRecord(std::array<float, 12>& values, float ctRatio, float ptRatio) {
    for (int k = 0; k < 3; ++k) {
        values[3 * k] = values[3 * k] * ctRatio;
        values[3 * k + 1] = values[3 * k + 1] * ptRatio;
        values[3 * k + 2] = values[3 * k + 2] * ctRatio * ptRatio;
    }
}

QString ratioPairProblem(double ct, double pt) {
    // Room above the apparent power of one channel for the sum of three and for the energy of a month's receive.
    constexpr double kHeld = std::numeric_limits<float>::max() / 1e7;
    const double current = kFullScaleCurrent * ct, voltage = kFullScaleVoltage * pt;
    if (current <= kHeld && voltage <= kHeld && current * voltage / 1000.0 <= kHeld) return QString();
    return QStringLiteral("CT倍率 %1 与 PT倍率 %2 之积过大：满量程的电流、电压和功率乘上它们后超出可以记录的范围，"
                          "请检查两个倍率！")
        .arg(ct)
        .arg(pt);
}

}  // namespace mervo
