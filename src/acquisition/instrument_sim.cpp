#include "acquisition/instrument_sim.h"

#include <algorithm>
#include <cmath>

#include "measurement/codec.h"
#include "acquisition/sync_search.h"

namespace mervo {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

bool parseScenario(const QString& name, SimScenario* out) {
    if (name == QLatin1String("motor")) *out = SimScenario::Motor;
    else if (name == QLatin1String("constant")) *out = SimScenario::Constant;
    else if (name == QLatin1String("idle")) *out = SimScenario::Idle;
    else if (name == QLatin1String("generating")) *out = SimScenario::Generating;
    else return false;
    return true;
}

std::array<uint8_t, 30> encodeBlock(const BlockValues& values) {
    std::array<uint8_t, 30> out{};
    std::copy(std::begin(kSync), std::end(kSync), out.begin());
    for (int i = 0; i < 9; ++i) {
        const auto t = EncodeTriple(values[i]);
        std::copy(t.begin(), t.end(), out.begin() + 3 + 3 * i);
    }
    return out;
}

InstrumentSimulator::InstrumentSimulator(const SimOptions& options) : opt_(options), rng_(options.seed) {}

double InstrumentSimulator::loadAt(double t) const {
    switch (opt_.scenario) {
        case SimScenario::Constant: return 0.75;
        case SimScenario::Idle: return 0.02;
        case SimScenario::Generating: return -0.4;
        case SimScenario::Motor: break;
    }
    // Slow swings over minutes with a faster ripple, as a conveyor or a pump sees.
    return std::clamp(0.6 + 0.3 * std::sin(2 * kPi * t / 300.0) + 0.08 * std::sin(2 * kPi * t / 47.0), 0.05, 1.1);
}

BlockValues InstrumentSimulator::valuesAt(double t) {
    const double beta = loadAt(t);
    // Input power from the loss model of a typical cage motor: constant losses plus losses growing as beta^2.
    const double eta = 0.89;
    const double pLoss = (1.0 / eta - 1.0) * opt_.ratedKw;
    const double p0 = 0.3 * pLoss;
    double pIn = beta * opt_.ratedKw + p0 + beta * beta * (pLoss - p0);
    if (beta < 0) pIn = beta * opt_.ratedKw + p0;  // driven above synchronous speed: power flows back
    // The power factor rises with load, from about 0.15 at no load to the rated value and a little beyond.
    const double pf = std::clamp(0.15 + (opt_.ratedPf - 0.15) * std::min(1.2, std::fabs(beta) * 1.6 / (0.6 + std::fabs(beta))),
                           0.1, 0.97);
    double currentScale = 1.0, pfScale = 1.0;
    // Switch-on: several times rated current at a poor power factor for the first seconds.
    if (opt_.scenario == SimScenario::Motor && t < 4.0) {
        const double decay = std::exp(-t / 1.2);
        currentScale = 1.0 + 5.0 * decay;
        pfScale = 1.0 - 0.6 * decay;
    }
    BlockValues v{};
    const double sign = opt_.capacitive ? 1.0 : -1.0;  // the current's sign carries the reactive direction
    for (int k = 0; k < 3; ++k) {
        if (!opt_.channels[k]) continue;
        const double u = opt_.phaseVolts * (1.0 + 0.004 * (k - 1) + 0.002 * noise_(rng_));
        const double share = pIn / 3.0 * (1.0 + 0.01 * noise_(rng_));
        const double ik = std::fabs(share) * 1000.0 / (u * pf) * currentScale * (1.0 + 0.005 * noise_(rng_));
        const double pk = std::copysign(u * ik * pf * pfScale / 1000.0, share);
        v[3 * k] = static_cast<float>(sign * ik / opt_.ctRatio);
        v[3 * k + 1] = static_cast<float>(u / opt_.ptRatio);
        v[3 * k + 2] = static_cast<float>(pk / (opt_.ctRatio * opt_.ptRatio));
    }
    return v;
}

}  // namespace mervo
