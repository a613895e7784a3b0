#include "analysis/trend_interval.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mervo {

IntervalStats intervalStats(const TrendSeries& s, int64_t a, int64_t b) {
    IntervalStats st;
    st.motorUsable = s.motorUsable;
    if (s.empty()) return st;
    if (a > b) std::swap(a, b);
    a = std::clamp<int64_t>(a, 0, s.size() - 1);
    b = std::clamp<int64_t>(b, 0, s.size() - 1);
    st.firstNumber = s.firstNumber + a;
    st.lastNumber = s.firstNumber + b;
    st.samples = b - a + 1;
    st.seconds = s.time(b) - s.time(a);
    for (int k = 0; k < kTrendQuantities; ++k) {
        const float* v = s.data(static_cast<TrendQuantity>(k));
        QuantityStats& q = st.q[static_cast<size_t>(k)];
        double sum = 0;
        float mn = std::numeric_limits<float>::infinity(), mx = -mn;
        for (int64_t i = a; i <= b; ++i) {
            if (std::isnan(v[i])) continue;
            sum += v[i];
            mn = std::min(mn, v[i]);
            mx = std::max(mx, v[i]);
            ++q.count;
        }
        if (q.count > 0) {
            q.mean = sum / static_cast<double>(q.count);
            q.min = mn;
            q.max = mx;
        }
    }
    const float* p = s.data(TrendQuantity::SumP);
    const float* r = s.data(TrendQuantity::SumQ);
    double ep = 0, eq = 0;  // kW·s, kvar·s
    for (int64_t i = a + 1; i <= b; ++i) {
        const double step = s.time(i) - s.time(i - 1);
        ep += static_cast<double>(p[i]) * step;
        eq += static_cast<double>(r[i]) * step;
        const MotorState m = s.state(i);
        if (m == MotorState::BelowNoLoad) st.belowNoLoadSeconds += step;
        if (m == MotorState::Generating) st.generatingSeconds += step;
    }
    st.activeEnergy = ep / 3.6;  // kW·s to W·h
    st.reactiveEnergy = eq / 3.6;
    const double meanS = st.q[static_cast<size_t>(indexOf(TrendQuantity::S))].mean;
    st.meanPowerFactor = meanS != 0 ? st.q[static_cast<size_t>(indexOf(TrendQuantity::SumP))].mean / meanS
                                    : std::numeric_limits<double>::quiet_NaN();
    return st;
}

namespace {

QString number(double v) { return std::isfinite(v) ? QString::number(v, 'f', 3) : QString(); }

}  // namespace

std::vector<IntervalRow> intervalTable(const IntervalStats& st) {
    std::vector<IntervalRow> rows;
    rows.push_back({QStringLiteral("A 数据号"), {QString::number(st.firstNumber)}});
    rows.push_back({QStringLiteral("B 数据号"), {QString::number(st.lastNumber)}});
    rows.push_back({QStringLiteral("Δt (s)"), {number(st.seconds)}});
    rows.push_back({QStringLiteral("数据组数"), {QString::number(st.samples)}});
    for (int k = 0; k < kTrendQuantities; ++k) {
        const auto q = static_cast<TrendQuantity>(k);
        if (isMotorQuantity(q) && !st.motorUsable) continue;
        const TrendQuantityInfo& info = trendQuantityInfo(q);
        QString label = QString::fromUtf8(info.name);
        if (*info.unit) label += QStringLiteral(" (%1)").arg(QString::fromUtf8(info.unit));
        const QuantityStats& x = st.q[static_cast<size_t>(k)];
        if (x.count == 0) rows.push_back({label, {QString(), QString(), QString()}});
        else rows.push_back({label, {number(x.mean), number(x.min), number(x.max)}});
    }
    rows.push_back({QStringLiteral("有功电量 (W·h)"), {number(st.activeEnergy)}});
    rows.push_back({QStringLiteral("无功电量 (var·h)"), {number(st.reactiveEnergy)}});
    rows.push_back({QStringLiteral("平均功率因数"), {number(st.meanPowerFactor)}});
    if (st.motorUsable) {
        rows.push_back({QStringLiteral("低于空载时间 (s)"), {number(st.belowNoLoadSeconds)}});
        rows.push_back({QStringLiteral("发电时间 (s)"), {number(st.generatingSeconds)}});
    }
    return rows;
}

QString intervalTableText(const std::vector<IntervalRow>& rows) {
    QString text = QStringLiteral("项目\t平均\t最小\t最大\n");
    for (const IntervalRow& r : rows) {
        text += r.label;
        for (const QString& c : r.cells) text += QLatin1Char('\t') + c;
        text += QLatin1Char('\n');
    }
    return text;
}

}  // namespace mervo
