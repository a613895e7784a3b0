#include "analysis/trend_time_axis.h"

#include <algorithm>
#include <cmath>

namespace mervo {

TrendTimeUnit trendTimeUnit(double span) {
    if (span <= 120) return {1, "s"};
    if (span <= 7200) return {60, "min"};
    return {3600, "h"};
}

namespace {

// Decimals that tell ticks `step` apart.
int decimalsFor(double step) {
    if (!(step > 0) || !std::isfinite(step)) return 0;
    return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

}  // namespace

QString trendTimeLabel(double t, double step, TrendTimeMode mode, float startClock, const TrendTimeUnit& unit) {
    if (!std::isfinite(t)) return QString();
    if (mode == TrendTimeMode::Elapsed) return QString::number(t / unit.seconds, 'f', decimalsFor(step / unit.seconds));
    double c = std::fmod(static_cast<double>(startClock) + t, 86400.0);
    if (c < 0) c += 86400.0;
    const int tenths = step < 1 ? 1 : 0;
    const long long units = std::llround(c * (tenths ? 10 : 1)) % (tenths ? 864000 : 86400);
    const long long s = tenths ? units / 10 : units;
    QString text = QStringLiteral("%1:%2").arg(s / 3600, 2, 10, QLatin1Char('0')).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
    if (step < 60 || s % 60 != 0) text += QStringLiteral(":%1").arg(s % 60, 2, 10, QLatin1Char('0'));
    if (tenths) text += QStringLiteral(".%1").arg(units % 10);
    return text;
}

QString trendReadout(const TrendSeries& s, int64_t i, const std::vector<TrendQuantity>& quantities) {
    if (i < 0 || i >= s.size()) return QString();
    const double t = s.time(i);
    QString text = QStringLiteral("NO. %1　%2 s　%3")
                       .arg(s.firstNumber + i)
                       .arg(QString::number(t, 'f', 2), trendTimeLabel(t, 0.1, TrendTimeMode::ClockTime, s.startClock, {1, "s"}));
    for (TrendQuantity q : quantities) {
        const TrendQuantityInfo& info = trendQuantityInfo(q);
        const float v = s.value(q, i);
        text += QStringLiteral("　%1 %2").arg(QString::fromUtf8(info.name), std::isfinite(v) ? QString::number(v, 'f', 3) : QStringLiteral("—"));
        if (*info.unit) text += QLatin1Char(' ') + QString::fromUtf8(info.unit);
    }
    return text;
}

}  // namespace mervo
