// Measurements written from samples given as powers, for the assessment's tests.
#pragma once

#include <QString>
#include <array>
#include <cmath>
#include <vector>

#include "measurement/writer.h"
#include "support/status_matchers.h"

namespace mervo::test {

// A sample given per channel: active and reactive power and voltage; the current follows as the instrument
// stores it, its magnitude U·I = S and its sign that of the reactive power (negative: lagging).
struct Channel {
    double p, q, u;
};
inline std::array<float, 9> sampleOf(const std::array<Channel, 3>& c) {
    std::array<float, 9> v{};
    for (size_t k = 0; k < 3; ++k) {
        const double s = std::hypot(c[k].p, c[k].q);
        v[3 * k] = static_cast<float>(-1000.0 * s / c[k].u);
        v[3 * k + 1] = static_cast<float>(c[k].u);
        v[3 * k + 2] = static_cast<float>(c[k].p);
    }
    return v;
}
inline std::array<Channel, 3> balanced(double sumP, double sumQ, double u = 380) {
    const Channel c{sumP / 3, sumQ / 3, u};
    return {c, c, c};
}

// `samples` spread over `seconds` (a second each by default) from `start` (seconds since midnight).
inline QString writeMeasurement(const QString& path, const std::vector<std::array<float, 9>>& samples,
                                const std::array<float, 7>& nameplate, double seconds = 0, float start = 8 * 3600) {
    FileHeader h;
    h.StartTime = start;
    h.TotalTime = static_cast<float>(seconds > 0 ? seconds : static_cast<double>(samples.size()));
    h.nameplate = nameplate;
    h.channels = {1, 1, 1};
    WorkingFileWriter w;
    EXPECT_TRUE(succeeded(w.create(path, h)));
    for (const auto& v : samples) EXPECT_TRUE(succeeded(w.appendSample(v.data())));
    std::array<float, 12> mx{}, mn{};
    mx.fill(200);
    EXPECT_TRUE(succeeded(w.appendTrailer(mx, mn)));
    EXPECT_TRUE(succeeded(w.close()));
    return path;
}

}  // namespace mervo::test
