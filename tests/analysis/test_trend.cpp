// The trend window's model: interval statistics on a committed file whose samples are known, the column
// envelope handed to the plot, the summaries of a file against every sample, and the live ring's bound.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "analysis/trend_compare.h"
#include "analysis/trend_decimate.h"
#include "analysis/trend_file_source.h"
#include "analysis/trend_interval.h"
#include "analysis/trend_interval_job.h"
#include "analysis/trend_live.h"
#include "analysis/trend_time_axis.h"
#include "measurement/writer.h"
#include "support/status_matchers.h"

using namespace mervo;

namespace {

// trend_motor.MTQ: 12 samples over 12 s (sample k at k s), nameplate 4 poles, 10 kW, 20 A, 80 %, 6 A, 0.5 kW,
// 380 V: rated losses 2.5 kW, so at ΣP 6 kW the load rate is 100 (sqrt(25 + 5.5 x 2) - 5) / 2 = 50 %, the
// output 5 kW and the efficiency 83.333 %. Every channel at 250 V:
//   1-6   10 A, 2 kW:    ΣP 6,    ΣQ 4.5, S 7.5,  PF 0.8   running
//   7-8    1 A, 0.15 kW: ΣP 0.45, ΣQ 0.6, S 0.75, PF 0.6   below no-load (outputs 0)
//   9-12 -10 A, -2 kW:   ΣP -6,   ΣQ -4.5, S 7.5, PF 0.8   generating (no outputs); the current's sign is
//                        the reactive power's direction, and the trend shows currents as magnitudes
const QString kFixture = QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ");

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct IntervalCase {
    const char* what;
    int64_t a, b;  // sample numbers
    int64_t samples;
    double seconds, meanP, minP, maxP, meanI1, ep, eq, pf;  // energies within the interval, ΣQ as IEC
    const char* indicator;
    double meanLoad, meanOutput, efficiency;  // NaN: no running sample
    double running, belowNoLoad, generating;
};

void expectNear(double expected, double actual, const char* what) {
    EXPECT_NEAR(expected, actual, 1e-4 * std::max(1.0, std::fabs(expected))) << what;
}

std::vector<TrendQuantity> allQuantities() {
    std::vector<TrendQuantity> all;
    for (int k = 0; k < kTrendQuantities; ++k) all.push_back(static_cast<TrendQuantity>(k));
    return all;
}

// A measurement of whole numbers (exact in the file's three-byte form): I1 stored with either sign (the trend
// shows its magnitude), U2 as stored; sample k (from 1) at k seconds.
struct KnownFile {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("known.MTQ"));
    std::vector<float> i1, u2;  // as the trend shows them

    KnownFile(int64_t n, uint32_t seed, int64_t spikeAt = -1) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> current(1, 999), voltage(200, 400), sign(0, 1);
        FileHeader h;
        h.StartTime = 8 * 3600;
        h.TotalTime = static_cast<float>(n);
        h.channels = {1, 1, 1};
        WorkingFileWriter w;
        EXPECT_TRUE(test::succeeded(w.create(path, h)));
        for (int64_t k = 0; k < n; ++k) {
            const float i = k == spikeAt ? 5000.0f : static_cast<float>(current(random));
            const float u = static_cast<float>(voltage(random));
            const float v[9] = {sign(random) ? i : -i, 10, 2, 10, u, 2, 10, 250, 2};
            i1.push_back(i);
            u2.push_back(u);
            EXPECT_TRUE(test::succeeded(w.appendSample(v)));
        }
        std::array<float, 12> mx{}, mn{};
        mx.fill(5000);
        EXPECT_TRUE(test::succeeded(w.appendTrailer(mx, mn)));
        EXPECT_TRUE(test::succeeded(w.close()));
    }
};

// A measurement starting at `clock` whose `n` samples over `seconds` have every channel at `amps`, 250 V and
// `kw`; no nameplate.
void writeSteady(const QString& path, float clock, int n, float seconds, float amps, float kw) {
    FileHeader h;
    h.StartTime = clock;
    h.TotalTime = seconds;
    h.channels = {1, 1, 1};
    WorkingFileWriter w;
    ASSERT_TRUE(test::succeeded(w.create(path, h)));
    const float v[9] = {-amps, 250, kw, -amps, 250, kw, -amps, 250, kw};
    for (int k = 0; k < n; ++k) ASSERT_TRUE(test::succeeded(w.appendSample(v)));
    std::array<float, 12> mx{}, mn{};
    ASSERT_TRUE(test::succeeded(w.appendTrailer(mx, mn)));
    ASSERT_TRUE(test::succeeded(w.close()));
}

}  // namespace

// Before and after a retrofit: "before" starts at 08:00:00, 10 samples a second apart (sample k at k s), each
// channel 10 A and 2 kW (ΣP 6 kW); "after" starts at 08:00:05, 20 samples half a second apart, 8 A and 1.5 kW
// (ΣP 4.5 kW). Cursors A..B on samples 7..10 of "before", 7 s to 10 s.
TEST(TrendCompare, TheSecondFilesAlignedSpanAndTheDifferenceColumns) {
    QTemporaryDir dir;
    writeSteady(dir.filePath(QStringLiteral("before.MTQ")), 8 * 3600, 10, 10, 10, 2);
    writeSteady(dir.filePath(QStringLiteral("after.MTQ")), 8 * 3600 + 5, 20, 10, 8, 1.5f);
    TrendFileSource before, after;
    ASSERT_TRUE(test::succeeded(before.open(dir.filePath(QStringLiteral("before.MTQ")), allQuantities())));
    ASSERT_TRUE(test::succeeded(after.open(dir.filePath(QStringLiteral("after.MTQ")), allQuantities())));
    ASSERT_TRUE(test::succeeded(before.summariseAll()) && test::succeeded(after.summariseAll()));
    const Result<IntervalStats> first = intervalStats(before, 6, 9);
    ASSERT_TRUE(test::succeeded(first));
    using Cells = QStringList;
    const struct {
        const char* what;
        CompareAlignment how;
        double offset;
        int64_t a, b;  // numbers of the second's samples; b < a: none
        Cells i1, dt, rate;
    } cases[] = {
        // Sample j of "after" at 0.5 j + 5 s: 7..10 s is j = 4..10, 3.5 s of it.
        {"time of day", CompareAlignment::ClockTime, 0, 4, 10, {"10", "10", "10", "8", "8", "8", "-2"},
         {"4", "", "", "3.5", "", "", "-0.5"}, {"6", "", "", "4.5", "", "", "-1.5"}},
        // At 0.5 j s: j = 14..20.
        {"elapsed", CompareAlignment::Elapsed, 0, 14, 20, {"10", "10", "10", "8", "8", "8", "-2"},
         {"4", "", "", "3.5", "", "", "-0.5"}, {"6", "", "", "4.5", "", "", "-1.5"}},
        // At 0.5 j - 2.5 s: j = 19..20, 1 s.
        {"elapsed, moved back 2.5 s", CompareAlignment::Elapsed, -2.5, 19, 20, {"10", "10", "10", "8", "8", "8", "-2"},
         {"4", "", "", "1", "", "", "-3"}, {"6", "", "", "4.5", "", "", "-1.5"}},
        // Past its end: nothing of it lies between the cursors.
        {"moved past", CompareAlignment::Elapsed, 100, 1, 0, {"10", "10", "10", "", "", "", ""},
         {"4", "", "", "", "", "", ""}, {"6", "", "", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const IndexSpan span = alignedSpan(after, compareShift(c.how, before.startClock, after.startClock, c.offset),
                                           before.time(6), before.time(9));
        EXPECT_EQ(span.a + 1, c.a);
        EXPECT_EQ(span.b + 1, c.b);
        std::optional<IntervalStats> second;
        if (!span.empty()) {
            const Result<IntervalStats> r = intervalStats(after, span.a, span.b);
            ASSERT_TRUE(test::succeeded(r));
            second = *r;
        }
        std::map<QString, Cells> rows;
        for (const IntervalRow& row : comparisonTable(*first, second ? &*second : nullptr))
            rows[row.label] = Cells(row.cells.begin(), row.cells.end());
        EXPECT_EQ(rows[QStringLiteral("I1 (A)")], c.i1);
        EXPECT_EQ(rows[QStringLiteral("Δt (s)")], c.dt);
        EXPECT_EQ(rows[QStringLiteral("有功电量每小时 (kWh/h)")], c.rate);
        // Energies of spans of different lengths are compared only as rates.
        EXPECT_EQ(rows[QStringLiteral("有功电量 (kWh)")].value(6), QString());
    }
}

TEST(TrendInterval, StatisticsMatchTheHandWorkedFile) {
    TrendFileSource s;
    ASSERT_TRUE(test::succeeded(s.open(kFixture, allQuantities())));
    ASSERT_TRUE(test::succeeded(s.summariseAll()));
    ASSERT_EQ(s.size(), 12);
    EXPECT_TRUE(s.motorUsable);
    // Each sample stands for 1 s: an interval of k samples lasts k s, and its energy is the sum of its
    // powers x 1 s (kW·s / 3.6 = W·h). The fixture's stored ΣQ is positive for 1-8, so IEC reactive power is
    // negative (C) there and positive (L) while generating.
    const IntervalCase cases[] = {
        // 4 x 6 kW = 24 kW·s; 4 x -4.5 kvar = -18 kvar·s; PF 24 / 30.
        {"constant load", 2, 5, 4, 4, 6, 6, 6, 10, 24 / 3.6, -18 / 3.6, 0.8, "C", 50, 5, 83.333333, 4, 0, 0},
        // 6 + 6 + 0.45 + 0.45 = 12.9 kW·s; -(4.5 + 4.5 + 0.6 + 0.6) = -10.2 kvar·s. The motor's figures over
        // samples 5 and 6 only, where it runs: output 10 of input 12 kW·s.
        {"crossing no-load", 5, 8, 4, 4, 3.225, 0.45, 6, 5.5, 12.9 / 3.6, -10.2 / 3.6, 12.9 / std::hypot(12.9, 10.2),
         "C", 50, 5, 83.333333, 2, 2, 0},
        {"generating, B before A", 12, 9, 4, 4, -6, -6, -6, 10, -24 / 3.6, 18 / 3.6, 0.8, "L", kNone, kNone, kNone,
         0, 0, 4},
        // 0.9 - 12 = -11.1 kW·s; -1.2 + 9 = 7.8 kvar·s.
        {"below no-load into generating", 7, 10, 4, 4, -2.775, -6, 0.45, 5.5, -11.1 / 3.6, 7.8 / 3.6,
         11.1 / std::hypot(11.1, 7.8), "L", kNone, kNone, kNone, 0, 2, 2},
        // The whole file lasts its 12 s: 36 + 0.9 - 24 = 12.9 kW·s; -27 - 1.2 + 18 = -10.2 kvar·s.
        {"whole file", 1, 12, 12, 12, 12.9 / 12, -6, 6, 8.5, 12.9 / 3.6, -10.2 / 3.6, 12.9 / std::hypot(12.9, 10.2),
         "C", 50, 5, 83.333333, 6, 2, 4},
        {"A = B", 3, 3, 1, 1, 6, 6, 6, 10, 6 / 3.6, -4.5 / 3.6, 0.8, "C", 50, 5, 83.333333, 1, 0, 0},
    };
    for (const IntervalCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Result<IntervalStats> r = intervalStats(s, c.a - 1, c.b - 1);
        ASSERT_TRUE(test::succeeded(r));
        const IntervalStats& st = *r;
        EXPECT_EQ(st.firstNumber, std::min(c.a, c.b));
        EXPECT_EQ(st.lastNumber, std::max(c.a, c.b));
        EXPECT_EQ(st.samples, c.samples);
        expectNear(c.seconds, st.seconds, "Δt");
        expectNear(c.meanP, st[TrendQuantity::SumP].mean, "mean ΣP");
        expectNear(c.minP, st[TrendQuantity::SumP].min, "min ΣP");
        expectNear(c.maxP, st[TrendQuantity::SumP].max, "max ΣP");
        expectNear(c.meanI1, st[TrendQuantity::I1].mean, "mean I1");
        // The three channels alike: each a third of ΣP, 250 V.
        expectNear(c.meanI1, st[TrendQuantity::I3].mean, "mean I3");
        expectNear(c.meanP / 3, st[TrendQuantity::P3].mean, "mean P3");
        expectNear(250, st[TrendQuantity::U3].mean, "mean U3");
        expectNear(c.ep, st.activeEnergyWh, "active energy");
        expectNear(c.eq, st.reactiveEnergyVarh, "reactive energy");
        expectNear(c.pf, st.powerFactor, "power factor");
        EXPECT_STREQ(c.indicator, st.powerFactorIndicator);
        EXPECT_EQ(st[TrendQuantity::LoadRate].count > 0, !std::isnan(c.meanLoad));
        if (!std::isnan(c.meanLoad)) {
            expectNear(c.meanLoad, st[TrendQuantity::LoadRate].mean, "load rate");
            expectNear(c.meanOutput, st[TrendQuantity::OutputPower].mean, "output power");
        }
        EXPECT_EQ(std::isnan(st.efficiency), std::isnan(c.efficiency));
        if (!std::isnan(c.efficiency)) expectNear(c.efficiency, st.efficiency, "efficiency");
        expectNear(c.running, st.runningSeconds, "running");
        expectNear(c.belowNoLoad, st.belowNoLoadSeconds, "below no-load");
        expectNear(c.generating, st.generatingSeconds, "generating");
    }
}

TEST(TrendDecimation, KeepsEveryColumnsMinimumAndMaximum) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> few = {3, 9, 1, 4, 4, 5, 5, 5, 5, 5, 2, nan, 8, nan, 7, nan, nan, nan, nan, nan};
    // 256 samples of 0 with spikes inside whole blocks of 64 (index 10, 200) and in the partial blocks at the
    // columns' edges (80, 100, 180), and a NaN inside a block.
    std::vector<float> many(256, 0.0f);
    many[10] = 9, many[20] = nan, many[80] = -4, many[100] = 7, many[180] = 6, many[200] = -8;
    const struct {
        const char* what;
        const std::vector<float>* values;  // sample k (from 1) at k seconds
        double t0, t1;
        int columns;
        std::vector<double> t, v;
    } cases[] = {
        // Four columns of five samples: the extremes of each, from the one nearer the line's last point; a
        // column without values is a gap.
        {"zoomed out", &few, 0.5, 20.5, 4, {1, 5, 6, 10, 11, 15, 18}, {1, 9, 5, 5, 2, 8, kNone}},
        // Samples 3 to 5 and a neighbour on each side: few enough to draw every one.
        {"zoomed in", &few, 2.5, 5.5, 4, {2, 3, 4, 5, 6}, {9, 1, 4, 4, 5}},
        // 85 samples a column: whole blocks of 64, each in the column where it starts (samples 1-64, 65-128,
        // 129-256).
        {"whole blocks", &many, 0.5, 256.5, 3, {1, 64, 65, 128, 129, 256}, {0, 9, 7, -4, -8, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrendLiveBuffer ring;
        ring.start({}, 0);
        const float stored[9] = {};
        for (size_t k = 0; k < c.values->size(); ++k)
            ring.push(static_cast<int64_t>(k + 1), static_cast<float>(k + 1), stored, (*c.values)[k], 0, 0,
                      0);
        TrendLiveSource s(ring, {}, allQuantities());
        s.update();
        PlotPoints p;
        envelope(s, TrendQuantity::SumP, c.t0, c.t1, c.columns, p);
        ASSERT_EQ(p.t.size(), c.t.size());
        for (size_t k = 0; k < c.t.size(); ++k) {
            EXPECT_DOUBLE_EQ(p.t[k], c.t[k]) << k;
            if (std::isnan(c.v[k])) EXPECT_TRUE(std::isnan(p.v[k])) << k;
            else EXPECT_EQ(p.v[k], c.v[k]) << k;
        }
    }
}

TEST(TrendLive, RingStaysBoundedOverALongReceive) {
    TrendLiveBuffer live(1000);
    live.start({4, 10, 20, 80, 6, 0.5f, 380}, 36000);
    const size_t bytes = live.bytes();
    // A day at 32 blocks a second would be 2.76 million; a million shows the bound as well.
    constexpr int64_t kBlocks = 1000500;  // not a whole number of rings, so the oldest is mid-ring
    for (int64_t k = 1; k <= kBlocks; ++k) {
        const float v[9] = {static_cast<float>(k), 250, 2, 10, 250, 2, 10, 250, 2};
        live.push(k, static_cast<float>(k) / 32, v, 6, 4.5f, 7.5f, 0.8f);
    }
    EXPECT_EQ(live.bytes(), bytes);
    EXPECT_EQ(live.held(), 1000);
    EXPECT_EQ(live.received(), kBlocks);
    TrendLiveSource s(live, {}, allQuantities());
    EXPECT_TRUE(s.update());
    ASSERT_EQ(s.size(), 1000);
    EXPECT_EQ(s.firstNumber, kBlocks - 999);
    EXPECT_EQ(s.value(TrendQuantity::I1, 0), static_cast<float>(kBlocks - 999));
    EXPECT_EQ(s.value(TrendQuantity::I1, 999), static_cast<float>(kBlocks));
    EXPECT_DOUBLE_EQ(s.time(999), kBlocks / 32.0);
    // The motor model runs on the live blocks too: 6 kW in is 50 % load on this nameplate.
    EXPECT_FLOAT_EQ(s.value(TrendQuantity::LoadRate, 999), 50);
}

// Tick labels as the operator reads them: a view far into a recording counts hours, minutes and seconds.
TEST(TrendTimeAxis, LabelsReadAsTheViewSuits) {
    const struct {
        double span, end, t, step;
        TrendTimeMode mode;
        float startClock;
        const char* label;
    } cases[] = {
        {60, 100, 50, 10, TrendTimeMode::Elapsed, 0, "50"},
        {60, 14460, 14410, 10, TrendTimeMode::Elapsed, 0, "4:00:10"},
        {1800, 14460, 14400, 300, TrendTimeMode::Elapsed, 0, "4:00:00"},
        {3600, 3000, 1800, 600, TrendTimeMode::Elapsed, 0, "30"},
        {86400, 86400, 36000, 18000, TrendTimeMode::Elapsed, 0, "10"},
        {10, 14460, 14400.5, 0.5, TrendTimeMode::Elapsed, 0, "4:00:00.5"},
        {60, 100, 30, 10, TrendTimeMode::ClockTime, 86390, "00:00:20"},
        // Every tick of a 2.5 or 0.25 grid written exactly, not rounded to its neighbour's precision.
        {60, 100, 27.5, 2.5, TrendTimeMode::Elapsed, 0, "27.5"},
        {600, 700, 450, 150, TrendTimeMode::Elapsed, 0, "7.5"},
        {60, 14460, 14427.5, 2.5, TrendTimeMode::Elapsed, 0, "4:00:27.5"},
        {10, 100, 0.75, 0.25, TrendTimeMode::ClockTime, 36000, "10:00:00.75"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(trendTimeLabel(c.t, c.step, c.mode, c.startClock, trendTimeUnit(c.span, c.end)),
                  QString::fromUtf8(c.label))
            << c.t;
}

// The extremes of any stretch, from the summaries and the samples at their ends, are those of every sample in
// it: while the summaries are still being built and once they are whole.
TEST(TrendPyramid, ExtremesOfAnySpanMatchEverySample) {
    constexpr int64_t n = 50000;  // three levels of summaries and a last block of 16 samples
    KnownFile f(n, 7);
    TrendFileSource s;
    ASSERT_TRUE(test::succeeded(s.open(f.path, allQuantities())));
    ASSERT_EQ(s.size(), n);
    std::mt19937 random(11);
    const auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        for (int k = 0; k < 400; ++k) {
            // Spans of every length: a sample, a few blocks, most of the file.
            const int64_t length = std::uniform_int_distribution<int64_t>(1, k % 4 == 0 ? n : 3000)(random);
            const int64_t a = std::uniform_int_distribution<int64_t>(0, n - length)(random), b = a + length;
            for (const auto& [q, values] :
                 {std::pair{TrendQuantity::I1, &f.i1}, std::pair{TrendQuantity::U2, &f.u2}}) {
                const auto [lo, hi] = std::minmax_element(values->begin() + a, values->begin() + b);
                float gotLo, gotHi;
                s.rangeMinMax(q, a, b, &gotLo, &gotHi);
                ASSERT_EQ(gotLo, *lo) << a << ".." << b;
                ASSERT_EQ(gotHi, *hi) << a << ".." << b;
            }
        }
    };
    s.update();  // one step of the pass
    ASSERT_GT(s.ready(), 0);
    ASSERT_LT(s.ready(), n);
    check("part summarised");
    ASSERT_TRUE(test::succeeded(s.summariseAll()));
    ASSERT_EQ(s.ready(), n);
    check("all summarised");
}

// One sample far above the rest is in the picture at every zoom, from the whole file to a few samples,
// wherever it falls in the columns.
TEST(TrendPyramid, OneSampleSpikeShowsAtEveryZoom) {
    constexpr int64_t n = 40000, spike = 23456;  // sample 23457, at 23457 s
    KnownFile f(n, 3, spike);
    TrendFileSource s;
    ASSERT_TRUE(test::succeeded(s.open(f.path, allQuantities())));
    ASSERT_TRUE(test::succeeded(s.summariseAll()));
    const double at = spike + 1;
    PlotPoints p;
    for (double span = n; span > 2; span /= 1.7) {
        for (double where : {0.5, 0.01, 0.99, 0.333}) {
            const double t0 = at - span * where;
            envelope(s, TrendQuantity::I1, t0, t0 + span, 300, p);
            ASSERT_FALSE(p.v.empty());
            EXPECT_EQ(*std::max_element(p.v.begin(), p.v.end()), 5000) << span << " " << where;
        }
    }
}
