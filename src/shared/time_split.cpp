#include "shared/time_split.h"

#include <cmath>

namespace mervo {

namespace {

// Rounded seconds or minutes that reach 60 carry into the next unit.
void carrySixty(double& h, double& m, double& s) {
    if (s >= 60) {
        s = 0;
        m += 1;
    }
    if (m >= 60) {
        m = 0;
        h += 1;
    }
}

}  // namespace

void SplitTime(float t, TimeParts& out) {
    // Negative, non-finite or absurd times (a damaged header) show as zero rather than wrapping around.
    if (!(t >= 0.0f) || t >= 32767.0f * 3600.0f) {
        out = TimeParts{};
        return;
    }
    const double td = t;
    const double x = td / 3600.0;
    double h = std::floor(x);
    const double y = (x - h) * 60.0;
    double m = std::floor(y);
    double s = std::floor((y - m) * 60.0);
    const double f = td - h * 3600.0 - m * 60.0 - s;
    double cs = std::floor(f * 100.0 + 0.5);
    if (cs == 100) {
        cs = 0;
        s += 1;
    }
    carrySixty(h, m, s);
    out.TimeH = static_cast<int16_t>(h);
    out.TimeM = static_cast<int16_t>(m);
    out.TimeS = static_cast<int16_t>(s);
    out.TimeCs = static_cast<float>(cs);
}

DurationFields splitDuration(float t) {
    DurationFields d;
    if (!(t >= 0.0f) || !std::isfinite(t)) return d;
    const double x = t / 3600.0;
    double h = std::floor(x);
    const double y = (x - h) * 60.0;
    double m = std::floor(y);
    double s = std::nearbyint((y - m) * 60.0);
    carrySixty(h, m, s);
    d.hours = h;
    d.minutes = static_cast<int>(m);
    d.seconds = static_cast<int>(s);
    return d;
}

bool splitClock(double seconds, int64_t* day, long long* hundredths) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e12) return false;
    const long long all = std::llround(seconds * 100.0);
    constexpr long long kDay = 8640000;
    *day = all >= 0 ? all / kDay : -((-all + kDay - 1) / kDay);
    *hundredths = all - *day * kDay;
    return true;
}

QString clockText(double seconds) {
    int64_t day = 0;
    long long cs = 0;
    if (!splitClock(seconds, &day, &cs)) return QString();
    return QStringLiteral("%1:%2:%3.%4")
        .arg(cs / 360000, 2, 10, QLatin1Char('0'))
        .arg(cs / 6000 % 60, 2, 10, QLatin1Char('0'))
        .arg(cs / 100 % 60, 2, 10, QLatin1Char('0'))
        .arg(cs % 100, 2, 10, QLatin1Char('0'));
}

}  // namespace mervo
