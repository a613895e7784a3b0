#include "assessment/rated_figures.h"

#include <algorithm>
#include <cmath>

#include "motor/operating_point.h"

namespace mervo {

namespace {

// Efficiency tolerance of the rated value: 15 % of the losses up to 150 kW, 10 % above.
constexpr double kToleranceLimitKw = 150;
constexpr double kToleranceSmall = 0.15, kToleranceLarge = 0.10;
// Power-factor tolerance: a sixth of (1 − cos φ_N), held between these two.
constexpr double kPowerFactorToleranceMin = 0.02, kPowerFactorToleranceMax = 0.07;

// P_N / (P_N/η + K_Q · Q), Q = (P_N/η) · tan φ: the comprehensive efficiency at rated output (%).
double comprehensiveAtRated(double ratedPower, double efficiencyPercent, double powerFactor, double kq) {
    const double input = ratedPower / (efficiencyPercent / 100.0);
    const double reactive = input * std::sqrt(1.0 - powerFactor * powerFactor) / powerFactor;
    return comprehensiveEfficiency(ratedPower, input, reactive, kq);
}

}  // namespace

QString checkAssessmentSettings(const AssessmentSettings& s) {
    if (!(s.kq >= 0 && s.kq <= 1))
        return QStringLiteral("无功经济当量 K_Q（%1）无效：应在 0 到 1 之间（常用 0.02～0.1）").arg(s.kq);
    if (!(s.targetPowerFactor > 0 && s.targetPowerFactor <= 1))
        return QStringLiteral("目标功率因数（%1）无效：应大于 0、不大于 1").arg(s.targetPowerFactor);
    return QString();
}

Result<RatedFigures> ratedFigures(const MotorValues& m, double kq) {
    const auto refuse = [](const QString& why) {
        return Status::failure(QStringLiteral("电机铭牌参数互相矛盾，不作电动机评估：%1").arg(why), why);
    };
    if (!m.MotorDataValid) return Status::failure(QStringLiteral("无电机参数或参数不全"));
    if (!motorModelUsable(m))
        return refuse(QStringLiteral("额定损耗不大于空载功率，损耗模型无法计算"));
    RatedFigures f;
    f.ratedPower = m.MotorRatedPower;
    f.ratedCurrent = m.MotorRatedCurrent;
    f.ratedVoltage = m.MotorRatedVoltage;
    f.noLoadCurrent = m.MotorNoLoadCurrent;
    f.noLoadPower = m.MotorNoLoadPower;
    f.ratedEfficiency = m.MotorRatedEfficiency;
    for (double v : {f.ratedPower, f.ratedCurrent, f.ratedVoltage, f.noLoadCurrent, f.ratedEfficiency})
        if (!(v > 0) || !std::isfinite(v)) return refuse(QStringLiteral("额定值应为正数"));
    if (f.ratedEfficiency >= 100) return refuse(QStringLiteral("额定效率不小于 100 %"));
    const double eta = f.ratedEfficiency / 100.0;
    f.ratedLoss = (100.0 / f.ratedEfficiency - 1.0) * f.ratedPower;
    f.loadLoss = f.ratedLoss - f.noLoadPower;

    f.ratedPowerFactor = 1000.0 * f.ratedPower / (std::sqrt(3.0) * f.ratedVoltage * f.ratedCurrent * eta);
    if (f.ratedPowerFactor > 1)
        return refuse(QStringLiteral("由额定功率、电压、电流和效率算得的额定功率因数 %1 大于 1")
                          .arg(f.ratedPowerFactor, 0, 'f', 3));
    const double ratedInput = f.ratedPower / eta;
    f.ratedReactive = ratedInput * std::sqrt(1.0 - f.ratedPowerFactor * f.ratedPowerFactor) / f.ratedPowerFactor;

    const double noLoadApparent = std::sqrt(3.0) * f.ratedVoltage * f.noLoadCurrent / 1000.0;
    const double radicand = noLoadApparent * noLoadApparent - f.noLoadPower * f.noLoadPower;
    if (radicand < 0)
        return refuse(QStringLiteral("空载功率 %1 kW 大于空载视在功率 %2 kVA")
                          .arg(f.noLoadPower)
                          .arg(noLoadApparent, 0, 'f', 3));
    f.noLoadReactive = std::sqrt(radicand);

    f.ratedComprehensiveEfficiency = comprehensiveAtRated(f.ratedPower, f.ratedEfficiency, f.ratedPowerFactor, kq);
    const double tolerance = f.ratedPower <= kToleranceLimitKw ? kToleranceSmall : kToleranceLarge;
    f.allowedEfficiency = f.ratedEfficiency - tolerance * (100.0 - f.ratedEfficiency);
    f.allowedPowerFactor = f.ratedPowerFactor - std::clamp((1.0 - f.ratedPowerFactor) / 6.0, kPowerFactorToleranceMin,
                                                           kPowerFactorToleranceMax);
    f.allowedComprehensiveEfficiency =
        comprehensiveAtRated(f.ratedPower, f.allowedEfficiency, f.allowedPowerFactor, kq);

    f.economicLoadRateActive = 100.0 * std::sqrt(f.noLoadPower / f.loadLoss);
    const double denominator = f.loadLoss + kq * (f.ratedReactive - f.noLoadReactive);
    if (!(denominator > 0))
        return refuse(QStringLiteral("额定无功功率与空载无功功率不相容"));
    f.economicLoadRateComprehensive = 100.0 * std::sqrt((f.noLoadPower + kq * f.noLoadReactive) / denominator);
    return f;
}

}  // namespace mervo
