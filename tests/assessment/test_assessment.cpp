// The motor assessment against figures worked out by hand: a catalogue-style nameplate, a literal sequence of
// samples with a start, zones, load bands and unbalance, and the whole file against the analysis's totals.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "analysis/analysis_pass.h"
#include "assessment/assessment_run.h"
#include "assessment/measurement_builder.h"
#include "support/status_matchers.h"

namespace mervo {
namespace {

void expectNear(double expected, double actual, const char* what, double relative = 1e-4) {
    EXPECT_NEAR(actual, expected, relative * std::max(1.0, std::fabs(expected))) << what;
}

MotorValues nameplate(std::array<float, 7> v) {
    MotorValues m;
    m.setNameplate(v);
    m.MotorRatedLoss = (100.0f / v[3] - 1.0f) * v[1];
    return m;
}

// 11 kW, 4 poles, 22.6 A, 88 %, I0 8.4 A, P0 0.45 kW, 380 V, at K_Q 0.05, worked by hand:
//   P_loss = (100/88 − 1)·11 = 1.5, P_K = 1.05;
//   cos φ_N = 11000 / (√3·380·22.6·0.88) = 0.840344, tan φ_N = 0.645036, Q_N = 12.5·0.645036 = 8.062954 kvar;
//   η_cN = 11 / (12.5 + 0.05·8.062954) = 85.2505 %;
//   η_y = 88 − 0.15·12 = 86.2 %, cos φ_y = 0.840344 − 0.159656/6 = 0.813735, Q_y = (11/0.862)·0.714259 = 9.114957,
//   η_cy = 11 / (12.761021 + 0.455748) = 83.2276 %;
//   Q0 = √((√3·380·8.4/1000)² − 0.45²) = √(30.56655 − 0.2025) = 5.510362 kvar;
//   β_a = √(0.45/1.05) = 65.4654 %; β_c = √((0.45 + 0.275518) / (1.05 + 0.05·2.552592)) = 78.4910 %.
constexpr std::array<float, 7> kMotor = {4, 11, 22.6f, 88, 8.4f, 0.45f, 380};

TEST(AssessmentFormulas, NameplateFiguresMatchTheWorkedExample) {
    const Result<RatedFigures> f = ratedFigures(nameplate(kMotor), 0.05);
    ASSERT_TRUE(f.ok()) << f.message().toStdString();
    const struct {
        const char* what;
        double expected, actual;
    } figures[] = {
        {"cos φ_N", 0.840344, f->ratedPowerFactor},
        {"Q_N", 8.062954, f->ratedReactive},
        {"η_cN", 85.2505, f->ratedComprehensiveEfficiency},
        {"η_y", 86.2, f->allowedEfficiency},
        {"cos φ_y", 0.813735, f->allowedPowerFactor},
        {"η_cy", 83.2276, f->allowedComprehensiveEfficiency},
        {"Q0", 5.510362, f->noLoadReactive},
        {"β_a", 65.4654, f->economicLoadRateActive},
        {"β_c", 78.4910, f->economicLoadRateComprehensive},
    };
    for (const auto& x : figures) expectNear(x.expected, x.actual, x.what, 2e-6);

    // Nameplates that contradict themselves are refused with the reason.
    const struct {
        const char* what;
        std::array<float, 7> plate;
        const char* reason;
    } refused[] = {
        {"a rated power factor above 1", {4, 11, 15, 88, 8.4f, 0.45f, 380}, "大于 1"},
        {"no-load power above the no-load apparent power", {4, 11, 22.6f, 88, 0.5f, 0.45f, 380}, "空载视在功率"},
    };
    for (const auto& r : refused) {
        const Result<RatedFigures> x = ratedFigures(nameplate(r.plate), 0.05);
        EXPECT_FALSE(x.ok()) << r.what;
        EXPECT_TRUE(x.message().contains(QString::fromUtf8(r.reason))) << r.what << ": " << x.message().toStdString();
    }

    // The class from the 4-pole minima (IE1 87.6, IE2 89.8, IE3 91.4, IE4 93.3 at 11 kW); between 11 and 15 kW
    // the minima are interpolated in log P: IE3 at 13 kW is 91.4 + 0.7·log(13/11)/log(15/11) = 91.775.
    const struct {
        int poles;
        double kw, eta;
        const char* name;
        int grade;
    } classes[] = {{4, 11, 88, "IE1", 0},    {4, 11, 91.4, "IE3", 3},  {4, 11, 93.5, "IE4", 2},
                   {4, 11, 87, "below IE1", 0}, {4, 13, 91.7, "IE2", 0}, {4, 13, 91.8, "IE3", 3},
                   {3, 11, 95, "", 0},       {4, 1200, 97, "", 0}};
    for (const auto& c : classes) {
        const EfficiencyClass e = efficiencyClassOf(c.poles, c.kw, c.eta);
        EXPECT_EQ(efficiencyClassName(e), QString::fromUtf8(c.name)) << c.poles << " poles " << c.kw << " kW " << c.eta;
        EXPECT_EQ(e.gbGrade, c.grade) << c.kw << " kW " << c.eta;
    }
}

using test::balanced;
using test::Channel;
using test::sampleOf;

QString writeMeasurement(const QString& path, const std::vector<std::array<float, 9>>& samples) {
    return test::writeMeasurement(path, samples, kMotor);
}

// The input P1 of the nameplate above at load rate β (fraction): P0 + β·P_N + β²·P_K.
double inputAt(double beta) { return 0.45 + beta * 11 + beta * beta * 1.05; }

// The sequence once, and a thousand times over (10 000 samples, read and folded on two cores where there are two):
// every sum and time a thousand times as large, every mean and maximum the same.
TEST(AssessmentOfSamples, ALiteralSequenceGivesItsStartZonesBandsAndUnbalance) {
    // Ten samples, a second each, from 08:00:00 (s: ΣP kW, ΣQ kvar lagging):
    //  1  switched off: 0 A                                          below no-load
    //  2  inrush 150 A (10 kW a channel, 57 kVA)                     a start begins (0.1·I_N = 2.26 A)
    //  3  100 A                                                      still starting (1.2·I_N = 27.12 A)
    //  4  β 0.9, Q1 6:   η_c = 9.9 / (11.2005 + 0.3) = 86.08 %       economic, band 75-100; the start ends
    //  5  β 0.9, Q1 12:  η_c = 9.9 / 11.8005 = 83.90 %               allowed, 75-100
    //  6  β 0.5, Q1 9:   η_c = 5.5 / (6.2125 + 0.45) = 82.55 %       uneconomic, 50-75
    //  7  β 1.2, Q1 9:   η_c = 13.2 / (15.162 + 0.45) = 84.55 %      allowed, 115+
    //  8  β 0.2, Q1 6:   η_c = 2.2 / (2.692 + 0.3) = 73.53 %         uneconomic, 0-25
    //  9  0.1 kW a channel at 2, 2, 2.6 A and 380, 380, 342 V        below no-load; unbalanced
    // 10  -1 kW a channel at 10 A                                    generating
    const Channel off{0, 0, 380};
    const std::vector<std::array<float, 9>> sequence = {
        sampleOf({off, off, off}),
        sampleOf(balanced(30, 3 * std::sqrt(57.0 * 57 - 100))),
        sampleOf(balanced(30, 3 * std::sqrt(38.0 * 38 - 100))),
        sampleOf(balanced(inputAt(0.9), 6)),
        sampleOf(balanced(inputAt(0.9), 12)),
        sampleOf(balanced(inputAt(0.5), 9)),
        sampleOf(balanced(inputAt(1.2), 9)),
        sampleOf(balanced(inputAt(0.2), 6)),
        sampleOf({Channel{0.1, std::sqrt(0.76 * 0.76 - 0.01), 380}, Channel{0.1, std::sqrt(0.76 * 0.76 - 0.01), 380},
                  Channel{0.1, std::sqrt(0.8892 * 0.8892 - 0.01), 342}}),
        sampleOf(balanced(-3, 3 * std::sqrt(3.8 * 3.8 - 1))),
    };
    for (const int repeat : {1, 1000}) {
        SCOPED_TRACE(repeat);
        std::vector<std::array<float, 9>> samples;
        for (int k = 0; k < repeat; ++k) samples.insert(samples.end(), sequence.begin(), sequence.end());
        QTemporaryDir dir;
        AssessmentRequest request;
        request.file = writeMeasurement(dir.filePath(QStringLiteral("seq.MTQ")), samples);
        const Result<AssessmentOutcome> r = assessFile(request);
        ASSERT_TRUE(r.ok()) << r.message().toStdString();
        const Assessment& a = r->assessment;
        const double n = repeat;  // times each sample of the sequence is there

        const double run = 2 * inputAt(0.9) + inputAt(0.5) + inputAt(1.2) + inputAt(0.2);  // 46.4675 kW·s
        const double out = 2 * 9.9 + 5.5 + 13.2 + 2.2, reactive = 6 + 12 + 9 + 9 + 6;
        const double in = run + 30 + 30 + 0.3 - 3;
        const struct {
            const char* what;
            double expected, actual;
        } figures[] = {
            {"E_in", n * in / 3600, a.energyInKwh},
            {"E_run", n * run / 3600, a.energyRunningKwh},
            {"E_out", n * out / 3600, a.energyOutKwh},
            {"E_q", n * reactive / 3600, a.energyReactiveKvarh},
            {"running", n * 5, a.runningSeconds},
            {"starting", n * 2, a.startingSeconds},
            {"below no-load", n * 2, a.belowNoLoadSeconds},
            {"generating", n * 1, a.generatingSeconds},
            {"efficiency", 100 * out / run, a.efficiency.value_or(-1)},
            {"η_c", 100 * out / (run + 0.05 * reactive), a.comprehensiveEfficiency.value_or(-1)},  // 83.80 %
            {"economic s", n * 1, a.zoneSeconds[0]},
            {"allowed s", n * 2, a.zoneSeconds[1]},
            {"uneconomic s", n * 2, a.zoneSeconds[2]},
            {"mean load rate", (90 + 90 + 50 + 120 + 20) / 5.0, a.loadRateMean.value_or(-1)},
            {"max load rate", 120, a.loadRateMax.value_or(-1)},
            // Voltage: sample 9's mean 367.33 V, 25.33 V from it: 6.8966 %; currents there 2.2 A ± 0.4: 18.18 %;
            // the others balanced, sample 1 without current.
            {"voltage unbalance max", 100 * (380 - 342) * 2.0 / 3 / (1102.0 / 3),
             a.voltageUnbalanceMax.value_or(-1)},
            {"voltage unbalance mean", 100 * (380 - 342) * 2.0 / 3 / (1102.0 / 3) / 10,
             a.voltageUnbalanceMean.value_or(-1)},
            {"voltage over 2 %", n * 1, a.voltageUnbalanceOverGuideSeconds.value_or(-1)},
            {"current unbalance max", 100 * 0.4 / 2.2, a.currentUnbalanceMax.value_or(-1)},
            {"current unbalance mean", 100 * 0.4 / 2.2 / 9, a.currentUnbalanceMean.value_or(-1)},
        };
        for (const auto& x : figures) expectNear(x.expected, x.actual, x.what);
        EXPECT_NEAR(a.loadRateP95.value_or(-1), 120, 0.011);  // nearest rank 5 of 5, to 0.01 %
        ASSERT_TRUE(a.zone.has_value());
        EXPECT_EQ(*a.zone, OperatingZone::Allowed);

        ASSERT_EQ(a.starts.size(), static_cast<size_t>(repeat));
        EXPECT_EQ(a.starts[0].sample, 2);
        expectNear(8 * 3600 + 2, a.starts[0].timeOfDay, "start time");
        expectNear(150, a.starts[0].peakAmperes, "start peak");
        expectNear(150 / 22.6, a.starts[0].peakMultiple, "start multiple");
        expectNear(2, a.starts[0].seconds, "start duration");

        const std::vector<std::pair<QString, std::pair<double, double>>> bands = {
            {"0-25", {1, inputAt(0.2)}},      {"25-50", {0, 0}},           {"50-75", {1, inputAt(0.5)}},
            {"75-100", {2, 2 * inputAt(0.9)}}, {"100-115", {0, 0}},         {"115+", {1, inputAt(1.2)}},
            {"below_no_load", {2, 0.3}},       {"generating", {1, -3}},    {"starting", {2, 60}},
        };
        ASSERT_EQ(a.loadProfile.size(), bands.size());
        for (size_t b = 0; b < bands.size(); ++b) {
            EXPECT_EQ(a.loadProfile[b].name, bands[b].first);
            expectNear(n * bands[b].second.first, a.loadProfile[b].seconds, "band time");
            expectNear(n * bands[b].second.second / 3600, a.loadProfile[b].energyKwh, "band energy");
        }

        // Compensation to 0.95 over the interval: P = E_in / 10 s, tan φ1 = Eq / Ep of every sample's IEC reactive
        // power, tan φ2 = 0.328684. The sample needing most is the inrush: 168.35 − 30·0.328684.
        const double q2 = 3 * std::sqrt(57.0 * 57 - 100), q3 = 3 * std::sqrt(38.0 * 38 - 100);
        const double q9 = 2 * std::sqrt(0.76 * 0.76 - 0.01) + std::sqrt(0.8892 * 0.8892 - 0.01);
        const double eq = q2 + q3 + reactive + q9 + 3 * std::sqrt(3.8 * 3.8 - 1);
        const double tan2 = std::sqrt(1 - 0.95 * 0.95) / 0.95;
        expectNear(in / 10 * (eq / in - tan2), a.compensationKvar.value_or(-1), "compensation");
        expectNear(q2 - 30 * tan2, a.compensationMaxKvar.value_or(-1), "compensation, most");
        EXPECT_FALSE(a.leading);
        EXPECT_TRUE(a.verdict.startsWith(QStringLiteral("允许运行：综合效率 83.8 %，低于额定综合效率 85.3 %，"
                                                        "不低于允许综合效率 83.2 %；平均负载率 74 %")))
            << a.verdict.toStdString();
    }
}

// The whole file's energies are the analysis's totals (12.9 kW·s on the trend fixture: 3.5833 W·h).
TEST(AssessmentOfSamples, TheWholeFileGivesTheAnalysisEnergies) {
    const QString file = QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ");
    SharedState st;
    st.file.WorkFile = file;
    AnalysisPass pass(st, nullptr);
    ASSERT_TRUE(test::succeeded(pass.begin(QString())));
    while (!pass.step(1000)) {
    }
    AssessmentRequest request;
    request.file = file;
    const Result<AssessmentOutcome> a = assessFile(request);
    ASSERT_TRUE(a.ok()) << a.message().toStdString();
    expectNear(12.9 / 3.6, a->assessment.energyInKwh * 1000, "E_in against the hand figure");
    expectNear(std::fabs(st.sums.EnergyP) * 1000, a->assessment.energyInKwh * 1000, "E_in against the pass");
    expectNear(12, a->assessment.electrical.seconds, "duration");
}

}  // namespace
}  // namespace mervo
