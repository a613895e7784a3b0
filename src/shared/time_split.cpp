#include "shared/time_split.h"

#include <cmath>

namespace mervo {

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
    if (s >= 60) {
        s = 0;
        m += 1;
    }
    if (m >= 60) {
        m = 0;
        h += 1;
    }
    out.TimeH = static_cast<int16_t>(h);
    out.TimeM = static_cast<int16_t>(m);
    out.TimeS = static_cast<int16_t>(s);
    out.TimeCs = static_cast<float>(cs);
}

}  // namespace mervo
