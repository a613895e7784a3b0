// The analysis pass over measurement files: statistics, energy series, axes, drawing, and files it refuses.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <map>

#include "analysis/recording_boxes.h"
#include "measurement/writer.h"
#include "analysis/analysis_pass.h"
#include "analysis/record_query.h"
#include "measurement/sample_math.h"
#include "motor/operating_point.h"
#include "platform/fake/recording_surface.h"
#include "support/status_matchers.h"

using namespace mervo;
using Op = RecordingSurface::Call::Op;

namespace {

using Sample = std::array<float, 9>;

// Three equal channels carrying `i` A at `u` V and a third of the total active power `p` kW each.
Sample balanced(float i, float u, float p) {
    return {i, u, p / 3, i, u, p / 3, i, u, p / 3};
}

// A nameplate the loss model can evaluate: rated losses 1.5 kW, no-load power 0.5 kW.
const std::array<float, 7> kMotor = {4, 11, 22.6f, 88, 7, 0.5f, 380};

struct FileContent {
    float totalTime = 10;
    std::array<float, 7> nameplate = kMotor;
    std::vector<Sample> samples;
    bool trailer = true;
    std::array<float, 12> maxima{}, minima{};
};

QString writeMeasurement(const QString& path, const FileContent& f) {
    WorkingFileWriter w;
    FileHeader h;
    h.StartTime = 36000;
    h.TotalTime = f.totalTime;
    h.nameplate = f.nameplate;
    h.channels = {1, 1, 1};
    QString error;
    EXPECT_TRUE(test::succeeded(w.create(path, h)));
    for (const Sample& s : f.samples) EXPECT_TRUE(w.appendSample(s.data()));
    if (f.trailer) {
        EXPECT_TRUE(w.appendTrailer(f.maxima, f.minima));
    }
    EXPECT_TRUE(test::succeeded(w.close()));
    return path;
}

using test::RecordingBoxes;

// Runs a whole pass over `path` in slices of `slice` samples.
bool runPass(AnalysisPass& pass, SharedState& st, const QString& path, QString* error = nullptr,
             QString* warning = nullptr, int64_t slice = 3) {
    st.file.WorkFile = path;
    if (const Status s = pass.begin(QString(), warning); !s) {
        if (error) *error = s.message();
        return false;
    }
    int guard = 0;
    while (!pass.step(slice))
        if (++guard > 1000000) return false;
    return pass.finished();
}

bool sameCalls(const RecordingSurface& a, const RecordingSurface& b) {
    if (a.calls.size() != b.calls.size()) return false;
    for (size_t i = 0; i < a.calls.size(); ++i) {
        const auto &x = a.calls[i], &y = b.calls[i];
        if (x.op != y.op || x.x1 != y.x1 || x.y1 != y.y1 || x.x2 != y.x2 || x.y2 != y.y2 ||
            x.colour != y.colour || x.style != y.style || x.text != y.text)
            return false;
    }
    return true;
}

class AnalysisPassTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

}  // namespace

TEST_F(AnalysisPassTest, everySampleOnceWithTheEnergyReachedAfterEach) {
    FileContent f;
    f.totalTime = 36;
    for (int i = 0; i < 7; ++i) f.samples.push_back(balanced(10, 400, 6 + i));
    f.maxima = {10, 400, 12, 10, 400, 1, 10, 400, 1, 12, 0.1f, 0};
    f.minima = {10, 400, 6, 10, 400, 0, 10, 400, 1, 6, 0, 0};
    const QString file = writeMeasurement(path("m.MTQ"), f);

    SharedState st;
    st.motor.setNameplate(
        {1, 1, 1, 1, 1, 1, 1});  // what the motor window had: the file's nameplate replaces it
    st.motor.MotorRatedLoss = 99;
    AnalysisPass pass(st, nullptr);
    int axes = 0;
    pass.onAxes = [&] { ++axes; };
    ASSERT_TRUE(runPass(pass, st, file));

    EXPECT_EQ(axes, 1);
    EXPECT_EQ(pass.done(), 7);
    EXPECT_EQ(pass.total(), 7);
    EXPECT_FLOAT_EQ(st.file.SampleCount, 7);
    EXPECT_FLOAT_EQ(st.file.TotalTime, 36);
    const auto& c = st.curves;
    EXPECT_EQ(c.EnergySums.samples, 7);
    float ep = 0, eq = 0;
    ASSERT_TRUE(test::succeeded(energiesReached(st, 7, &ep, &eq)));
    EXPECT_EQ(ep, c.TotalEp);
    EXPECT_EQ(eq, c.TotalEq);
    EXPECT_EQ(c.TotalEp, st.live.LiveValues[10]);
    // Mean power over the elapsed time: after sample i of 7 over 36 s, (6 + ... + (5 + i)) / i kW for i *
    // 36/7 s.
    for (int i = 1; i <= 7; ++i) {
        const double meanKw = (6.0 + 5 + i) / 2;
        ASSERT_TRUE(test::succeeded(energiesReached(st, i, &ep, &eq)));
        EXPECT_NEAR(ep, meanKw * i * 36.0 / 7 / 3600 * 1000, 1e-3) << i;
    }
    EXPECT_EQ(st.motor.nameplate(), kMotor);
    EXPECT_TRUE(st.motor.MotorDataValid);
    EXPECT_FLOAT_EQ(st.motor.MotorRatedLoss, (100.0f / 88 - 1) * 11);

    // Axes from the stored maxima and minima; the curve table's units.
    EXPECT_EQ(st.live.LiveMax, f.maxima);
    EXPECT_EQ(st.live.LiveMin, f.minima);
    EXPECT_FLOAT_EQ(c.CurveAxisMin[6], 6);  // 6..12 kW: range 6, step 2, one step above the maximum
    EXPECT_FLOAT_EQ(c.CurveAxisMax[6], 14);
    EXPECT_FLOAT_EQ(c.CurveAxisStep[6], 2);
    EXPECT_FLOAT_EQ(c.CurveAxisMax[8], 120);
    EXPECT_FLOAT_EQ(c.CurveAxisMax[7], 1.00001f);
    EXPECT_EQ(c.CurveUnit[6], QStringLiteral(" kW"));
    EXPECT_EQ(c.CurveUnit[7], QString());
    EXPECT_FLOAT_EQ(c.TimeStep, 5);
}

TEST_F(AnalysisPassTest, efficiencyAndLoadRateExtremesCountEverySample) {
    struct Case {
        const char* what;
        std::array<float, 7> nameplate;
        std::vector<float> powers;               // ΣP of the samples, kW
        float effMax, effMin, loadMax, loadMin;  // NaN: compare with the running samples' own values
    } cases[] = {
        // Below the no-load power efficiency and load rate are 0, and 0 is the minimum.
        {"running and idle", kMotor, {8, 0.3f, 6}, NAN, 0, NAN, 0},
        // Generating samples keep the previous values; from the start of a pass those are 0.
        {"generating only", kMotor, {-1, -2}, 0, 0, 0, 0},
        {"incomplete nameplate", {4, 11, 22.6f, 88, 7, 0, 380}, {8, 6}, 0, 0, 0, 0},
        // Far beyond the rated power the load rate passes 100 and its minimum keeps the starting 100.
        {"overload", kMotor, {40, 50}, NAN, NAN, NAN, 100},
    };
    for (const Case& c : cases) {
        FileContent f;
        f.nameplate = c.nameplate;
        for (float p : c.powers) f.samples.push_back(balanced(100, 400, p));
        const QString file = writeMeasurement(path("e.MTQ"), f);
        SharedState st;
        AnalysisPass pass(st, nullptr);
        std::vector<float> eff, load;
        pass.onSample = [&](const PanelSample& p) {
            if (p.state == MotorState::Running) {
                eff.push_back(*p.efficiency);
                load.push_back(*p.loadRate);
            }
        };
        ASSERT_TRUE(runPass(pass, st, file)) << c.what;
        const auto& cv = st.curves;
        const auto orRunning = [](float v, const std::vector<float>& r, bool max) {
            if (!std::isnan(v)) return v;
            return max ? *std::max_element(r.begin(), r.end()) : *std::min_element(r.begin(), r.end());
        };
        EXPECT_FLOAT_EQ(cv.EfficiencyMax, orRunning(c.effMax, eff, true)) << c.what;
        EXPECT_FLOAT_EQ(cv.EfficiencyMin, orRunning(c.effMin, eff, false)) << c.what;
        EXPECT_FLOAT_EQ(cv.LoadRateMax, orRunning(c.loadMax, load, true)) << c.what;
        EXPECT_FLOAT_EQ(cv.LoadRateMin, orRunning(c.loadMin, load, false)) << c.what;
    }
}

TEST_F(AnalysisPassTest, secondPassGivesTheSameStatisticsAndDrawing) {
    FileContent f;
    f.totalTime = 20;
    // Generating first: the motor outputs a pass starts from must not be the previous pass's last ones.
    for (float p : {-1.0f, -0.5f, 8.0f, 0.2f, 6.0f, 9.0f, -2.0f, 7.0f})
        f.samples.push_back(balanced(20 + p, 390 + p, p));
    f.maxima = {29, 399, 9, 29, 399, 9, 29, 399, 1, 20, 1, 1};
    f.minima = {18, 388, -2, 18, 388, 0, 18, 388, 0.5f, 1, 0, 0};
    const QString file = writeMeasurement(path("twice.MTQ"), f);

    SharedState st;
    RecordingBoxes r;
    AnalysisPass pass(st, &r.boxes);
    ASSERT_TRUE(runPass(pass, st, file));
    const SharedState once = st;
    const RecordingBoxes first = r;
    r.forget();
    ASSERT_TRUE(runPass(pass, st, file, nullptr, nullptr, 5));

    EXPECT_EQ(st.curves.EfficiencyMax, once.curves.EfficiencyMax);
    EXPECT_EQ(st.curves.EfficiencyMin, once.curves.EfficiencyMin);
    EXPECT_EQ(st.curves.LoadRateMax, once.curves.LoadRateMax);
    EXPECT_EQ(st.curves.LoadRateMin, once.curves.LoadRateMin);
    EXPECT_EQ(st.curves.TotalEp, once.curves.TotalEp);
    EXPECT_EQ(st.curves.TotalEq, once.curves.TotalEq);
    EXPECT_EQ(st.curves.EnergySums.sumP, once.curves.EnergySums.sumP);
    EXPECT_EQ(st.curves.EnergySums.sumQ, once.curves.EnergySums.sumQ);
    EXPECT_EQ(st.curves.CurveAxisMin, once.curves.CurveAxisMin);
    EXPECT_EQ(st.curves.CurveAxisMax, once.curves.CurveAxisMax);
    for (int k = 0; k < kCurves; ++k) {
        EXPECT_TRUE(sameCalls(r.cumulative[k], first.cumulative[k])) << "cumulative box " << k;
        EXPECT_TRUE(sameCalls(r.segmented[k], first.segmented[k])) << "segmented box " << k;
    }
    EXPECT_LT(once.curves.EfficiencyMin, once.curves.EfficiencyMax);
}

TEST_F(AnalysisPassTest, drawsGridsCurvesAndTheExtremesText) {
    FileContent f;
    f.totalTime = 3600;
    for (float p : {5.0f, 6.0f, -1.0f, 7.0f}) f.samples.push_back(balanced(30, 400, p));
    f.maxima = {30, 400, 7, 30, 400, 1, 30, 400, 1, 1, 1, 1};
    f.minima = {30, 400, -1, 30, 400, 0, 30, 400, 1, 1, 0, 0};
    const QString file = writeMeasurement(path("draw.MTQ"), f);
    SharedState st;
    RecordingBoxes r;
    r.cumulative[8].line(1, 2, 3, 4);  // left from before: the pass clears it
    AnalysisPass pass(st, &r.boxes);
    ASSERT_TRUE(runPass(pass, st, file));

    for (int k = 0; k < kCurves; ++k) {
        const auto& calls = r.cumulative[k].calls;
        const auto clear =
            std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.op == Op::Clear; });
        ASSERT_NE(clear, calls.end()) << k;
        EXPECT_EQ(clear->colour, kLightGrey);
        size_t red = 0, grid = 0;
        for (const auto& c : r.cumulative[k].lines()) (c.colour == kRed ? red : grid)++;
        // 13 time lines from each of the ten axis set-ups, and this box's value lines.
        EXPECT_GE(grid, 130u) << k;
        // Segments towards samples 2, 3 and 4; the motor curves skip the generating sample 3.
        EXPECT_EQ(red, k >= 8 ? 2u : 3u) << k;
        const auto texts = r.cumulative[k].texts();
        ASSERT_FALSE(texts.empty()) << k;
        EXPECT_EQ(texts.front().text, QStringLiteral("    最大值"));
        // The text comes last, over the curve.
        EXPECT_EQ(calls.back().op, Op::Text) << k;
    }
    const auto& box8 = r.cumulative[8].calls;
    EXPECT_EQ(box8[0].op, Op::Line);
    EXPECT_EQ(box8[1].op, Op::Clear) << "the old drawing goes before anything new is drawn";
}

TEST_F(AnalysisPassTest, refusesFilesItCannotAnalyseWithAMessageAndNoState) {
    FileContent good;
    for (int i = 0; i < 3; ++i) good.samples.push_back(balanced(10, 400, 5));
    const auto variant = [&](const char* name, auto change) {
        FileContent f = good;
        change(f);
        return writeMeasurement(path(name), f);
    };
    const auto appendBytes = [](const QString& file, int n) {
        QFile q(file);
        EXPECT_TRUE(q.open(QIODevice::Append));
        q.write(QByteArray(n, '\0'));
        return file;
    };
    QDir(dir.path()).mkdir(QStringLiteral("folder.MTQ"));
    struct Case {
        const char* what;
        QString file;
    } cases[] = {
        {"missing", path("nothing.MTQ")},
        {"a folder", path("folder.MTQ")},
        {"no samples", variant("empty.MTQ", [](FileContent& f) { f.samples.clear(); })},
        {"header only", variant("header.MTQ", [](FileContent& f) { f.samples.clear(), f.trailer = false; })},
        {"duration 0", variant("t0.MTQ", [](FileContent& f) { f.totalTime = 0; })},
        {"negative duration", variant("tneg.MTQ", [](FileContent& f) { f.totalTime = -5; })},
        {"duration NaN", variant("tnan.MTQ", [](FileContent& f) { f.totalTime = std::nanf(""); })},
        {"duration infinite", variant("tinf.MTQ", [](FileContent& f) { f.totalTime = INFINITY; })},
        {"part of a sample more", appendBytes(variant("odd.MTQ", [](FileContent&) {}), 8)},
        {"not whole records", appendBytes(variant("odd2.MTQ", [](FileContent&) {}), 3)},
        {"shorter than a header", appendBytes(path("tiny.MTQ"), 20)},
        {"nameplate not a number", variant("np.MTQ", [](FileContent& f) { f.nameplate[3] = std::nanf(""); })},
        {"text of a measurement's length", [&] {
             QFile q(path("text.MTQ"));
             EXPECT_TRUE(q.open(QIODevice::WriteOnly));
             q.write(QByteArray("lorem ipsum dolor sit amet ").repeated(20).left(48 + 3 * 36 + 96));
             return path("text.MTQ");
         }()},
    };
    for (const Case& c : cases) {
        SharedState st;
        st.curves.EnergySums = {10, {0}, {0}};  // a previous measurement's
        RecordingBoxes r;
        AnalysisPass pass(st, &r.boxes);
        QString error;
        EXPECT_FALSE(runPass(pass, st, c.file, &error)) << c.what;
        EXPECT_TRUE(error.contains(c.file)) << c.what << ": " << error.toStdString();
        EXPECT_TRUE(error.endsWith(QStringLiteral("！"))) << c.what << ": " << error.toStdString();
        EXPECT_EQ(st.file.SampleCount, 0) << c.what;
        EXPECT_EQ(queryableSamples(st), 0) << c.what;
        EXPECT_TRUE(pass.failed()) << c.what;
        EXPECT_TRUE(pass.step(100)) << c.what << ": nothing left to do";
        EXPECT_EQ(pass.done(), 0) << c.what;
        for (const auto& b : r.cumulative) EXPECT_TRUE(b.texts().empty()) << c.what;
    }
}

TEST_F(AnalysisPassTest, fileWithoutItsTrailerIsAnalysedFromItsSamples) {
    FileContent f;
    f.totalTime = 12;
    // I1 by magnitude 1..5, ΣP signed -1.5..6, the power factor's magnitude from the powers.
    const std::vector<Sample> samples = {balanced(3, 400, 3), balanced(-5, 380, -1.5f),
                                         balanced(1, 420, 0.3f), balanced(4, 600, 6)};
    f.samples = samples;
    f.trailer = false;
    const QString cut = writeMeasurement(path("cut.MTX"), f);

    SharedState st;
    AnalysisPass pass(st, nullptr);
    int axesInBegin = -1, axes = 0;
    pass.onAxes = [&] { ++axes; };
    QString warning;
    st.file.WorkFile = cut;
    ASSERT_TRUE(test::succeeded(pass.begin(QString(), &warning)));
    axesInBegin = axes;
    EXPECT_TRUE(warning.contains(cut)) << warning.toStdString();
    EXPECT_FLOAT_EQ(st.file.SampleCount, 4);
    while (!pass.step(1)) {
    }
    ASSERT_TRUE(pass.finished());
    EXPECT_EQ(axesInBegin, 0) << "the axes wait for the maxima and minima";
    EXPECT_EQ(axes, 1);

    EXPECT_FLOAT_EQ(st.live.LiveMax[0], 5);
    EXPECT_FLOAT_EQ(st.live.LiveMin[0], 1);
    EXPECT_FLOAT_EQ(st.live.LiveMax[1], 600);
    EXPECT_FLOAT_EQ(st.live.LiveMin[1], 380);
    EXPECT_FLOAT_EQ(st.live.LiveMax[2], 6);
    EXPECT_FLOAT_EQ(st.live.LiveMin[2], -1.5f);
    EXPECT_LE(st.live.LiveMax[8], 1);
    EXPECT_GT(st.live.LiveMin[8], 0);
    EXPECT_EQ(pass.done(), 4);
    EXPECT_EQ(st.curves.EnergySums.samples, 4);

    // The same samples with the trailer the receive would have written give the same axes and results.
    f.trailer = true;
    f.maxima = st.live.LiveMax;
    f.minima = st.live.LiveMin;
    const QString whole = writeMeasurement(path("whole.MTQ"), f);
    SharedState st2;
    AnalysisPass pass2(st2, nullptr);
    QString warning2;
    ASSERT_TRUE(runPass(pass2, st2, whole, nullptr, &warning2));
    EXPECT_TRUE(warning2.isEmpty());
    EXPECT_EQ(st2.curves.CurveAxisMin, st.curves.CurveAxisMin);
    EXPECT_EQ(st2.curves.CurveAxisMax, st.curves.CurveAxisMax);
    EXPECT_EQ(st2.curves.EnergySums.sumP, st.curves.EnergySums.sumP);
    EXPECT_EQ(st2.curves.TotalEq, st.curves.TotalEq);
}

TEST_F(AnalysisPassTest, largeChunksAgreeWithThePerSampleStep) {
    // Loads that run, idle below no-load, generate and lie beyond the apparent power, long enough for the
    // chunks that a second core shares.
    FileContent f;
    f.totalTime = 1234.5f;
    const int n = 40000;
    for (int i = 0; i < n; ++i) {
        const float p = 12.0f * std::sin(i * 0.001f) + 0.3f * std::sin(i * 1.3f);
        f.samples.push_back({8 + p, 380, p / 3, -(9 + p), 381, p / 2, 7 + p, 379, p});
    }
    const QString file = writeMeasurement(path("long.MTQ"), f);
    SharedState st;
    AnalysisPass pass(st, nullptr);
    ASSERT_TRUE(runPass(pass, st, file, nullptr, nullptr, 1 << 16));

    SharedState one;
    confirmNameplate(one.motor, kMotor);
    float effMax = 0, effMin = 150, loadMax = 0, loadMin = 100;
    PanelSample last;
    // The energies a query works out from the pass's sums, at the first and last samples, on both sides of every
    // checkpoint, and here and there between: the same floats as showing every sample in turn gives.
    const auto queried = [](int no) {
        const int r = no % 4096;
        return no <= 40 || no > n - 40 || r < 3 || r > 4093 || no % 997 == 0;
    };
    int checked = 0;
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 9; ++k) one.live.LiveValues[k] = f.samples[i][k];
        last = sweepSample(one, sampleElapsed(f.totalTime, i + 1, n));
        if (queried(i + 1)) {
            float ep = 0, eq = 0;
            ASSERT_TRUE(test::succeeded(energiesReached(st, i + 1, &ep, &eq))) << i;
            ASSERT_EQ(ep, one.live.LiveValues[10]) << i;
            ASSERT_EQ(eq, one.live.LiveValues[11]) << i;
            ++checked;
        }
        effMax = std::max(effMax, one.motor.MotorEfficiency);
        effMin = std::min(effMin, one.motor.MotorEfficiency);
        loadMax = std::max(loadMax, one.motor.MotorLoadRate);
        loadMin = std::min(loadMin, one.motor.MotorLoadRate);
    }
    EXPECT_GT(checked, 150);
    EXPECT_EQ(st.curves.EfficiencyMax, effMax);
    EXPECT_EQ(st.curves.EfficiencyMin, effMin);
    EXPECT_EQ(st.curves.LoadRateMax, loadMax);
    EXPECT_EQ(st.curves.LoadRateMin, loadMin);
    EXPECT_EQ(st.live.LiveValues, one.live.LiveValues);
    EXPECT_EQ(st.live.SampleValues, one.live.SampleValues);
    const PanelContent shown = pass.lastPanel(), expected = panelTexts(last);
    for (int b = 0; b < 16; ++b) EXPECT_EQ(shown.boxes[b], expected.boxes[b]) << b;
}

TEST_F(AnalysisPassTest, aFileCutShortDuringThePassEndsItWithTheReason) {
    // Cut to half its samples once the pass has opened it: in small steps and in a long one worked out ahead.
    for (int64_t slice : {int64_t{3}, int64_t{1} << 16}) {
        FileContent f;
        f.totalTime = 100;
        for (int i = 0; i < 20000; ++i) f.samples.push_back(balanced(10, 400, 5));
        const QString file = writeMeasurement(path("cut.MTQ"), f);
        SharedState st;
        AnalysisPass pass(st, nullptr);
        st.file.WorkFile = file;
        ASSERT_TRUE(test::succeeded(pass.begin(QString())));
        ASSERT_TRUE(QFile::resize(file, recordOffset(kHeaderRecords + 1) + 10000 * kSampleRecords * kRecordBytes));
        int guard = 0;
        while (!pass.step(slice) && ++guard < 100000) {
        }
        EXPECT_TRUE(pass.failed()) << slice;
        EXPECT_TRUE(pass.error().contains(QStringLiteral("文件提前结束"))) << pass.error().toStdString();
        EXPECT_LE(pass.done(), 10000) << slice;
    }
}

TEST_F(AnalysisPassTest, aDayOfSamplesEndsAtItsMeasuringTimeWithTheEnergyOfADay) {
    // 50000 samples over 24 h: a clock adding 1.728 s in single precision would end 42 s early.
    FileContent f;
    f.totalTime = 86400;
    f.samples.assign(50000, balanced(10, 400, 3));
    const QString file = writeMeasurement(path("day.MTQ"), f);
    SharedState st;
    AnalysisPass pass(st, nullptr);
    ASSERT_TRUE(runPass(pass, st, file, nullptr, nullptr, 4096));
    // 3 kW for 24 h.
    EXPECT_EQ(st.curves.TotalEp, 72000.0f);
    EXPECT_EQ(pass.lastPanel().sample.elapsed, 86400.0f);
    EXPECT_EQ(st.time.TimeH, 24);
    EXPECT_EQ(st.time.TimeM, 0);

    SegmentedCurveState seg;
    PanelContent shown;
    ASSERT_TRUE(FENG(st, nullptr, 50000, seg, &shown));
    EXPECT_EQ(shown.sample.elapsed, 86400.0f);
    EXPECT_EQ(shown.sample.values[10], 72000.0f);
}

TEST_F(AnalysisPassTest, fileCutShortDuringThePassFailsWithoutHalfResults) {
    FileContent f;
    // Longer than one read of the pass, so the samples cut off are still to be read.
    for (int i = 0; i < 5000; ++i) f.samples.push_back(balanced(10, 400, 5));
    const QString file = writeMeasurement(path("shrinks.MTQ"), f);
    SharedState st;
    AnalysisPass pass(st, nullptr);
    st.file.WorkFile = file;
    ASSERT_TRUE(pass.begin(QString()));
    EXPECT_FALSE(pass.step(10));
    ASSERT_TRUE(QFile::resize(file, 48 + 36 * 2000));
    while (!pass.step(100)) {
    }
    EXPECT_TRUE(pass.failed());
    EXPECT_FALSE(pass.finished());
    EXPECT_TRUE(pass.error().contains(file)) << pass.error().toStdString();
    EXPECT_LE(pass.done(), 2000);
    EXPECT_EQ(st.file.SampleCount, 0);
    EXPECT_EQ(queryableSamples(st), 0);
}

TEST_F(AnalysisPassTest, emptyWorkFileMeansTheWorkingFileOfTheProgramDirectory) {
    FileContent f;
    f.samples = {balanced(1, 230, 0.2f), balanced(1, 230, 0.2f)};
    writeMeasurement(path("TEMP.MTX"), f);
    SharedState st;
    AnalysisPass pass(st, nullptr);
    ASSERT_TRUE(pass.begin(dir.path()));
    EXPECT_EQ(st.file.WorkFile, path("TEMP.MTX"));
    EXPECT_TRUE(pass.step(10));
    EXPECT_TRUE(pass.finished());
}

TEST_F(AnalysisPassTest, lastPanelIsWhatShowingEverySampleLeavesOnThePanel) {
    // No-load power 3 kW above the rated losses: running samples count as no motor data, which leaves the
    // motor boxes as an earlier sample left them.
    const std::array<float, 7> unusable = {4, 11, 22.6f, 88, 7, 3, 380};
    struct Case {
        const char* what;
        std::array<float, 7> nameplate;
        std::vector<float> powers;
    } cases[] = {
        {"below no-load, generating, no data", unusable, {1, -1, 5}},
        {"below no-load, then no data", unusable, {1, 5, 6}},
        {"no data from the start", unusable, {5, 6}},
        {"running, generating", kMotor, {8, -1}},
        {"generating, running", kMotor, {-1, 8}},
    };
    for (const Case& c : cases) {
        FileContent f;
        f.nameplate = c.nameplate;
        for (float p : c.powers) f.samples.push_back(balanced(20, 400, p));
        const QString file = writeMeasurement(path("panel.MTQ"), f);
        SharedState st;
        AnalysisPass pass(st, nullptr);
        std::map<int, QString> shown;  // what each box shows after every sample was shown in turn
        QString caption;
        pass.onSample = [&](const PanelSample& s) {
            const PanelContent p = panelTexts(s);
            for (int b = 0; b < 20; ++b)
                if (p.boxes[b]) shown[b] = *p.boxes[b];
            caption = p.motorCaption;
        };
        ASSERT_TRUE(runPass(pass, st, file)) << c.what;
        const PanelContent last = pass.lastPanel();
        std::map<int, QString> fromLast;
        for (int b = 0; b < 20; ++b)
            if (last.boxes[b]) fromLast[b] = *last.boxes[b];
        EXPECT_EQ(fromLast, shown) << c.what;
        EXPECT_EQ(last.motorCaption, caption) << c.what;
    }
}
