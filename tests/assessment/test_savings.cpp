// The savings against figures worked out by hand: a replacement replayed on a literal load, the identity of the
// installed motor as a candidate, the sliding maximum demand and time-of-use periods over midnight.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "assessment/assessment_run.h"
#include "assessment/measurement_builder.h"
#include "measurement/codec.h"

namespace mervo {
namespace {

using test::balanced;
using test::sampleOf;

void expectNear(double expected, double actual, const char* what, double relative = 1e-4) {
    EXPECT_NEAR(actual, expected, relative * std::max(1.0, std::fabs(expected))) << what;
}

// A catalogue of three 4-pole 380 V motors (codes in the 380 V band), values the three-byte form holds exactly:
//   100: 7.5 kW, 90 %, P0 0.25 kW:  P_loss 0.833333, P_K 0.583333
//   101: 11 kW, 92 %, P0 0.375 kW:  P_loss 0.956522, P_K 0.581522
//   103: 11 kW, 88 %, P0 0.5 kW:    the installed motor itself (P_loss 1.5, P_K 1)
void writeCatalogue(const QString& dir) {
    QByteArray obj(16 * 6935, '\0');
    const auto put = [&](int code, std::array<float, 5> v) {
        char* r = obj.data() + 16 * (code - 1);
        r[0] = 4;
        for (int i = 0; i < 5; ++i) {
            const auto t = EncodeTriple(v[i]);
            for (int b = 0; b < 3; ++b) r[1 + 3 * i + b] = static_cast<char>(t[b]);
        }
    };
    put(100, {7.5f, 15, 90, 6, 0.25f});
    put(101, {11, 22, 92, 8, 0.375f});
    put(103, {11, 22.5f, 88, 8.5f, 0.5f});
    QFile f(dir + "/MTALL.OBJ");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(obj);
    QFile index(dir + "/bmindex.txt");
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("1,100,M-7.5\r\n2,101,M-11A\r\n3,103,M-11B\r\n");
}

// The installed motor: 4 poles, 11 kW, 22.5 A, 88 %, I0 8.5 A, P0 0.5 kW, 380 V; P_K = 1.5 − 0.5 = 1.
constexpr std::array<float, 7> kInstalled = {4, 11, 22.5f, 88, 8.5f, 0.5f, 380};
double inputAt(double beta) { return 0.5 + 11 * beta + beta * beta; }

const Candidate* find(const Savings& s, const QString& key) {
    for (const Candidate& c : s.candidates)
        if (c.key == key) return &c;
    return nullptr;
}

// 210 samples, a second each: 10 below no-load (0.3 kW), 198 at load rate 0.5 (P2 5.5 kW, P1 6.25 kW) and 2 at
// 0.8 (P2 8.8, P1 9.94). Over the 200 running samples: ΣP2 = 1106.6, ΣP2² = 6144.38, ΣP1 = 1257.38 kW·s. The 99th
// percentile of P2 (nearest rank 198) is 5.5 kW: the right-sized rating is the catalogue's 7.5 kW, and the
// candidates run from 7.5 to the installed 11 kW. A year of 8000 h is 137142.857 recordings of 210 s.
TEST(Savings, AReplacementReplayedOnALiteralLoad) {
    QTemporaryDir dir;
    writeCatalogue(dir.path());
    std::vector<std::array<float, 9>> samples(10, sampleOf(balanced(0.3, 3)));
    for (int i = 0; i < 198; ++i) samples.push_back(sampleOf(balanced(inputAt(0.5), 6)));
    for (int i = 0; i < 2; ++i) samples.push_back(sampleOf(balanced(inputAt(0.8), 6)));
    AssessmentRequest request;
    request.file = test::writeMeasurement(dir.filePath(QStringLiteral("m.MTQ")), samples, kInstalled);
    request.savings = SavingsSettings{};
    request.savings->motorPrices[QStringLiteral("101")] = 5000;
    request.catalogueDir = dir.path();
    const Result<AssessmentOutcome> r = assessFile(request);
    ASSERT_TRUE(r.ok()) << r.message().toStdString();
    ASSERT_TRUE(r->savings.has_value());
    const Savings& s = *r->savings;
    expectNear(5.5, s.outputP99Kw.value_or(-1), "P99");
    EXPECT_FALSE(s.undersized);

    const double scale = 8000.0 * 3600 / 210, run = 1257.38;
    // The installed motor as a candidate draws exactly what was measured: 1106.6 + 200·0.5 + 6144.38·1/121.
    const Candidate* same = find(s, QStringLiteral("103"));
    ASSERT_NE(same, nullptr);
    expectNear(run / 3600, same->energyKwh, "the installed motor replayed", 1e-6);
    EXPECT_NEAR(same->savingKwh, 0, 1e-6);

    // 101: 1106.6 + 200·0.375 + 6144.38·0.581522/121 = 1211.1298 kW·s, saving 46.2502 kW·s = 0.0128473 kWh;
    //   a year 1761.92 kWh, 1233.34 元 at 0.7, 1.00482 t CO₂ at 0.5703; 5000 元 pay back in 4.0540 years.
    // 100: 1106.6 + 200·0.25 + 6144.38·0.583333/56.25 = 1220.3197 kW·s; P2 above 7.5 kW for the 2 samples at
    //   8.8 kW: 2 s, exactly 1 % of the running time, which is not yet overloaded; mean load 5.533/7.5 = 73.777 %.
    // IE3 at 11 kW: 91.4 %, P_loss 1.035011, P0 at the median share of the catalogue's 11 kW motors (0.333333
    //   of 103, 0.392045 of 101: the lower middle) 0.345004, P_K 0.690007: 1106.6 + 69.0008 + 35.0387 = 1210.6393.
    const struct {
        const char* key;
        double energy, overload, loadRate;
    } cases[] = {
        {"101", 1211.1298, 0, 100 * 5.533 / 11},
        {"100", 1220.3197, 2, 100 * 5.533 / 7.5},
        {"IE3-11", 1210.6393, 0, 100 * 5.533 / 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const Candidate* x = find(s, QString::fromLatin1(c.key));
        ASSERT_NE(x, nullptr);
        expectNear(c.energy / 3600, x->energyKwh, "energy");
        expectNear((run - c.energy) / 3600, x->savingKwh, "saving");
        expectNear((run - c.energy) / 3600 * scale, x->annualSavingKwh, "annual saving");
        expectNear(c.overload, x->overloadSeconds, "overload");
        EXPECT_FALSE(x->overloaded);
        expectNear(c.loadRate, x->loadRateMean, "load rate");
    }
    const Candidate* best = find(s, QStringLiteral("101"));
    expectNear(1233.34, best->annualSavingCost, "annual saving, 元");
    expectNear(1.00482, best->annualSavingCo2T, "annual saving, CO₂");
    expectNear(4.0540, best->paybackYears.value_or(-1), "payback");
    EXPECT_EQ(best->model, QStringLiteral("M-11A"));
    // The most saved first: IE4 at 11 kW (93.3 %, P0 0.263308, P_K 0.526617) draws 1186.0 kW·s, IE4 at 7.5 kW
    // 1188.4.
    EXPECT_EQ(s.candidates.front().key, QStringLiteral("IE4-11"));
    expectNear(1186.0 / 3600, s.candidates.front().energyKwh, "the best candidate", 1e-4);
}

// One sample a minute from 08:00 for 40 minutes: 10 at 10 kW, 10 at 30 kW, 20 at 20 kW. A 15-minute window from
// the 11th sample holds the ten at 30 and five at 20: 26.667 kW, the most of any; it starts at 08:11:00.
TEST(Savings, TheMaximumDemandOfSlidingWindows) {
    QTemporaryDir dir;
    std::vector<std::array<float, 9>> samples;
    for (double p : {10.0, 30.0, 20.0})
        for (int i = 0; i < (p == 20 ? 20 : 10); ++i) samples.push_back(sampleOf(balanced(p, 5)));
    const QString file = test::writeMeasurement(dir.filePath(QStringLiteral("d.MTQ")), samples, {}, 40 * 60);
    const struct {
        double minutes, step;
        double demand;  // NaN: none
        double at;
    } cases[] = {{15, 1, 400.0 / 15, 8 * 3600 + 11 * 60},
                 {15, 5, 400.0 / 15, 8 * 3600 + 11 * 60},  // windows from the 1st, 6th, 11th … sample
                 {10, 7, 26, 8 * 3600 + 15 * 60},          // from the 1st, 8th, 15th …: 6·30 + 4·20
                 {45, 1, std::nan(""), 0}};                // longer than the recording
    for (const auto& c : cases) {
        AssessmentRequest request;
        request.file = file;
        request.savings = SavingsSettings{};
        request.savings->demandMinutes = c.minutes;
        request.savings->demandStepMinutes = c.step;
        const Result<AssessmentOutcome> r = assessFile(request);
        ASSERT_TRUE(r.ok()) << r.message().toStdString();
        const Savings& s = *r->savings;
        EXPECT_EQ(s.maxDemandKw.has_value(), !std::isnan(c.demand)) << c.minutes << " min";
        if (std::isnan(c.demand)) continue;
        expectNear(c.demand, *s.maxDemandKw, "demand");
        expectNear(c.at, s.maxDemandAt, "its start");
    }
}

// Two hours at 10 kW from 23:00, a sample a minute: sample i at 23:00 + i min. 尖 holds 23:30 to 00:30 (samples
// 30 to 89: 10 kWh), the rest falls to 谷 (22:00–06:00) or, without it, to the default price of 0.7.
TEST(Savings, TimeOfUsePeriodsOverMidnight) {
    QTemporaryDir dir;
    const std::vector<std::array<float, 9>> samples(120, sampleOf(balanced(10, 5)));
    const QString file = test::writeMeasurement(dir.filePath(QStringLiteral("n.MTQ")), samples, {}, 7200, 23 * 3600);
    const struct {
        const char* periods;
        std::vector<std::pair<QString, double>> energies;
        double annualCost;  // a year of 8000 h is 4000 recordings
    } cases[] = {
        {"23:30-00:30=尖@1.5;22:00-06:00=谷@0.3", {{"尖", 10}, {"谷", 10}}, (15 + 3) * 4000.0},
        {"23:30-00:30=尖@1.5", {{"尖", 10}, {"其他（默认电价）", 10}}, (15 + 7) * 4000.0},
        {"22:00-06:00=谷@0.3", {{"谷", 20}}, 6 * 4000.0},  // wholly in one period
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.periods);
        AssessmentRequest request;
        request.file = file;
        request.savings = SavingsSettings{};
        const Result<std::vector<TouPeriod>> periods = parseTouPeriods(QString::fromUtf8(c.periods));
        ASSERT_TRUE(periods.ok());
        request.savings->periods = *periods;
        const Result<AssessmentOutcome> r = assessFile(request);
        ASSERT_TRUE(r.ok()) << r.message().toStdString();
        const Savings& s = *r->savings;
        ASSERT_EQ(s.tou.size(), c.energies.size());
        for (size_t k = 0; k < c.energies.size(); ++k) {
            EXPECT_EQ(s.tou[k].name, c.energies[k].first);
            expectNear(c.energies[k].second, s.tou[k].energyKwh, "energy");
        }
        expectNear(c.annualCost, s.annualCost, "annual cost");
    }
}

}  // namespace
}  // namespace mervo
