#include "analysis/trend_time_axis.h"

#include <algorithm>
#include <cmath>

namespace mervo {

TrendTimeUnit trendTimeUnit(double span, double end) {
    if (span <= 7200 && end >= 3600) return {span <= 120 ? 1.0 : 60.0, "h:mm:ss", true};
    if (span <= 120) return {1, "s"};
    if (span <= 7200) return {60, "min"};
    return {3600, "h"};
}

namespace {

// Decimals that write every tick of a grid `step` apart exactly: those of the step itself (27.5 on a 2.5 grid,
// 0.25 on a 0.25 one), and at least those that tell ticks apart.
int decimalsFor(double step) {
    if (!(step > 0) || !std::isfinite(step)) return 0;
    constexpr int kMost = 6;
    int d = std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    for (; d < kMost; ++d) {
        const double scaled = step * std::pow(10.0, d);
        if (std::fabs(scaled - std::round(scaled)) <= 1e-6 * scaled) break;
    }
    return d;
}

// h:mm:ss of `t` seconds since the start, or (`wrap`) hh:mm of a clock with the seconds only where the step or the
// time needs them; with the decimals of seconds a step that is no whole number of seconds needs.
QString hmsText(double t, double step, bool wrap) {
    const int decimals = decimalsFor(step);
    long long perSecond = 1;
    for (int i = 0; i < decimals; ++i) perSecond *= 10;
    long long units = std::llround(t * static_cast<double>(perSecond));
    if (wrap) units %= 86400 * perSecond;
    const long long s = units / perSecond;
    QString text = QStringLiteral("%1:%2").arg(s / 3600, wrap ? 2 : 1, 10, QLatin1Char('0')).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
    if (!wrap || step < 60 || s % 60 != 0) text += QStringLiteral(":%1").arg(s % 60, 2, 10, QLatin1Char('0'));
    if (decimals > 0) text += QStringLiteral(".%1").arg(units % perSecond, decimals, 10, QLatin1Char('0'));
    return text;
}

}  // namespace

QString trendTimeLabel(double t, double step, TrendTimeMode mode, float startClock, const TrendTimeUnit& unit) {
    if (!std::isfinite(t)) return QString();
    if (mode == TrendTimeMode::Elapsed) {
        if (unit.hms) return t < 0 ? QString() : hmsText(t, step, false);
        return QString::number(t / unit.seconds, 'f', decimalsFor(step / unit.seconds));
    }
    double c = std::fmod(static_cast<double>(startClock) + t, 86400.0);
    if (c < 0) c += 86400.0;
    return hmsText(c, step, true);
}

QString trendReadout(const TrendSource& s, int64_t i, const std::vector<TrendQuantity>& quantities) {
    if (i < 0 || i >= s.size()) return QString();
    const double t = s.time(i);
    const TrendSample sample = s.sample(i);
    QString text = QStringLiteral("NO. %1　%2 s　%3")
                       .arg(s.firstNumber + i)
                       .arg(QString::number(t, 'f', 2), trendTimeLabel(t, 0.1, TrendTimeMode::ClockTime, s.startClock, {1, "s"}));
    for (TrendQuantity q : quantities) {
        const TrendQuantityInfo& info = trendQuantityInfo(q);
        const float v = sample.values[static_cast<size_t>(indexOf(q))];
        text += QStringLiteral("　%1 %2").arg(QString::fromUtf8(info.name), std::isfinite(v) ? QString::number(v, 'f', 3) : QStringLiteral("—"));
        if (*info.unit) text += QLatin1Char(' ') + QString::fromUtf8(info.unit);
    }
    return text;
}

}  // namespace mervo
