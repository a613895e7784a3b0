// The record query: the queried sample in the panel, the window of samples around it on the segmented boxes,
// the white cross, the corrections of the query number, and refusing records the file does not hold.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>

#include "measurement/writer.h"
#include "analysis/record_query.h"
#include "platform/fake/recording_surface.h"
#include "shared/number_format.h"
#include "support/status_matchers.h"

// Readable failure messages for texts.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace mervo;

namespace {

using Call = RecordingSurface::Call;

const std::array<float, 7> kMotor = {4, 4, 8.5f, 80, 4, 0.2f, 380};  // no-load 0.2 kW, rated input 5 kW

// Calls since the box was last cleared: what it shows.
std::vector<Call> shown(const RecordingSurface& s) {
    std::vector<Call> out;
    for (const Call& c : s.calls) {
        if (c.op == Call::Op::Clear) out.clear();
        else out.push_back(c);
    }
    return out;
}

std::vector<Call> linesIn(const RecordingSurface& s, std::function<bool(const Call&)> keep) {
    std::vector<Call> out;
    for (const Call& c : shown(s))
        if (c.op == Call::Op::Line && keep(c)) out.push_back(c);
    return out;
}
std::vector<Call> green(const RecordingSurface& s) {
    return linesIn(s, [](const Call& c) { return c.colour == kGreen; });
}
std::vector<Call> white(const RecordingSurface& s) {
    return linesIn(s, [](const Call& c) { return c.colour == kWhite; });
}
std::vector<Call> grid(const RecordingSurface& s) {
    return linesIn(s, [](const Call& c) { return c.colour != kGreen && c.colour != kWhite; });
}

void expectCross(const RecordingSurface& s, double x, double y, const char* what) {
    SCOPED_TRACE(what);
    const auto w = white(s);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_DOUBLE_EQ(w[0].x1, x - 100);
    EXPECT_DOUBLE_EQ(w[0].x2, x + 100);
    EXPECT_NEAR(w[0].y1, y, 1e-3);
    EXPECT_NEAR(w[0].y2, y, 1e-3);
    EXPECT_DOUBLE_EQ(w[1].x1, x);
    EXPECT_DOUBLE_EQ(w[1].x2, x);
    EXPECT_NEAR(w[1].y1, y - 100, 1e-3);
    EXPECT_NEAR(w[1].y2, y + 100, 1e-3);
}

class RecordQuery : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (int k = 0; k < kCurves; ++k) {
            boxes.cumulative[k] = &cum[k];
            boxes.segmented[k] = &seg[k];
        }
    }

    // Sample i: I1 = 10 + i A at 400 V with `power(i)` kW, the other channels empty, every 2 s. The state is
    // what a complete pass over it leaves: axes (box 0 from 0 to 140 A, so y = 1600 - 10 x I1), the energy sums
    // before the first sample, extremes, nameplate.
    void measure(int n, bool motor, std::function<float(int)> power = [](int) { return 2.0f; }) {
        path = dir.filePath(QStringLiteral("m.MTQ"));
        FileHeader h;
        h.StartTime = 36000;
        h.TotalTime = 2.0f * n;
        if (motor) h.nameplate = kMotor;
        h.channels = {1, 1, 1};
        WorkingFileWriter w;
        QString error;
        ASSERT_TRUE(test::succeeded(w.create(path, h)));
        for (int i = 1; i <= n; ++i) {
            const float v[9] = {10.0f + i, 400, power(i), 0, 0, 0, 0, 0, 0};
            ASSERT_TRUE(w.appendSample(v));
        }
        // Distinct ranges per element, so a grid drawn from the wrong element shows.
        std::array<float, 12> mx{}, mn{};
        for (int e = 0; e < 12; ++e) {
            mn[e] = 3.0f * e;
            mx[e] = 10.0f + 25.0f * e;
        }
        ASSERT_TRUE(w.appendTrailer(mx, mn));
        EXPECT_TRUE(test::succeeded(w.close()));

        st.file.WorkFile = path;
        st.file.SampleCount = static_cast<float>(n);
        st.file.TotalTime = h.TotalTime;
        confirmNameplate(st.motor, h.nameplate);
        st.live.LiveMax = mx;
        st.live.LiveMin = mn;
        auto& c = st.curves;
        for (int k = 0; k < kCurves; ++k) c.CurveAxisMin[k] = 0, c.CurveAxisMax[k] = 100;
        c.CurveAxisMax[0] = 140;
        c.CurveAxisMin[8] = c.CurveAxisMin[9] = 0;
        c.CurveAxisMax[8] = c.CurveAxisMax[9] = 120;
        c.EnergySums = {n, {0.0}, {0.0}};
    }

    bool query(int64_t no, PanelContent* panel = nullptr, bool draw = true) {
        PanelContent ignored;
        const Status s = FENG(st, draw ? &boxes : nullptr, no, segState, panel ? panel : &ignored);
        error = s.message();
        return s.ok();
    }

    static double y0(int i) { return 1500.0 - 10.0 * i; }  // box 0 at sample i

    QTemporaryDir dir;
    QString path, error;
    SharedState st;
    std::array<RecordingSurface, kCurves> cum, seg;
    CurveBoxes boxes;
    SegmentedCurveState segState;
};

TEST_F(RecordQuery, windowSpansSegmentCountEachSideCutAtTheEndsAndKeepsItsWidth) {
    struct Case {
        int n;
        float segmentCount;
        int no, first, last;
        double crossX, lastX;
    } cases[] = {
        {30, 10, 1, 1, 11, 300, 3300},     // the first sample only starts the line
        {30, 10, 30, 20, 30, 3300, 3300},  // cut at the end
        {30, 10, 15, 5, 25, 3300, 6300},   // uncut: the last point lies past the box's right edge
        {30, 5, 15, 10, 20, 3600, 6600},
        {30, 20, 1, 1, 21, 150, 3150},
        {4, 10, 2, 1, 4, 600, 1200},       // a file shorter than the window shows all of it
        {4, 10, 4, 1, 4, 1200, 1200},
        {1, 10, 1, 1, 1, 300, 300},        // one sample: a cross and no segment
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " half " << c.segmentCount << " NO " << c.no);
        measure(c.n, true);
        st.settings.SegmentCount = c.segmentCount;
        ASSERT_TRUE(query(c.no)) << error.toStdString();
        EXPECT_EQ(segState.ShareFirst, c.first);
        EXPECT_EQ(segState.ShareLast, c.last);
        EXPECT_EQ(segState.MarkerX, c.crossX);

        const double step = 6000.0 / (2 * c.segmentCount);
        const auto g = green(seg[0]);
        ASSERT_EQ(g.size(), static_cast<size_t>(c.last - c.first));
        for (size_t j = 0; j < g.size(); ++j) {
            const int from = c.first + static_cast<int>(j);
            EXPECT_DOUBLE_EQ(g[j].x1, step * (j + 1));
            EXPECT_DOUBLE_EQ(g[j].x2, step * (j + 2));
            EXPECT_DOUBLE_EQ(g[j].y1, y0(from));
            EXPECT_DOUBLE_EQ(g[j].y2, y0(from + 1));
        }
        if (!g.empty()) {
            EXPECT_DOUBLE_EQ(g.back().x2, c.lastX);
        }
        expectCross(seg[0], c.crossX, y0(c.no), "box 0");
    }
}

TEST_F(RecordQuery, crossMarksTheQueriedSampleOnEveryBoxInWhite) {
    measure(30, true);
    st.settings.SegmentCount = 10;
    ASSERT_TRUE(query(12));
    // 400 V x 22 A = 8.8 kVA at 2 kW: power factor 2 / 8.8 on the fixed 0..1 scale of box 7.
    const double pfY = 1600.0 - 1400.0 * (2.0 / 8.8);
    expectCross(seg[0], 3300, y0(12), "current");
    expectCross(seg[6], 3300, 1600.0 - 2.0 * 14.0, "active power on 0..100 kW");
    expectCross(seg[7], 3300, pfY, "power factor");
    for (int k = 0; k < kCurves; ++k) {
        EXPECT_EQ(white(seg[k]).size(), 2u) << k;
        EXPECT_NEAR(segState.MarkerY[k], white(seg[k])[0].y1, 1e-3) << k;
        EXPECT_TRUE(white(cum[k]).empty()) << k;  // the cumulative boxes get no cross
    }
    // The efficiency cross at the panel's efficiency on the 0..120 % scale.
    PanelContent p;
    ASSERT_TRUE(query(12, &p));
    ASSERT_TRUE(p.sample.efficiency);
    expectCross(seg[8], 3300, 1600.0 - 1400.0 * *p.sample.efficiency / 120.0, "efficiency");
    expectCross(seg[9], 3300, 1600.0 - 1400.0 * *p.sample.loadRate / 120.0, "load rate");
}

TEST_F(RecordQuery, valueGridOfEachBoxComesFromTheExtremesOfItsQuantity) {
    measure(30, true);
    ASSERT_TRUE(query(3));
    // Efficiency and load rate are plotted and labelled 0 to 120 %: their grid lies at every 20 %.
    for (int k : {8, 9}) {
        const auto got = grid(seg[k]);
        ASSERT_EQ(got.size(), 7u) << k;
        for (size_t j = 0; j < got.size(); ++j) EXPECT_NEAR(got[j].y1, 1600 - 1400 * (20.0 * j) / 120, 0.01) << k;
    }
    const int element[7] = {0, 3, 6, 1, 4, 7, 2};
    for (int k = 0; k < 8; ++k) {
        RecordingSurface expected;
        std::array<RecordingSurface, kCurves> otherCum;
        CurveBoxes other;
        for (int j = 0; j < kCurves; ++j) other.cumulative[j] = &otherCum[j];
        CurveValues scratch;
        if (k <= 6)
            ZBX_DS(st.live.LiveMin[element[k]], st.live.LiveMax[element[k]], expected, other, st.file.TotalTime,
                   scratch);
        else
            ZBX_DS(0, 1, expected, other, st.file.TotalTime, scratch);
        const auto want = grid(expected), got = grid(seg[k]);
        ASSERT_EQ(got.size(), want.size()) << k;
        for (size_t j = 0; j < got.size(); ++j) {
            EXPECT_EQ(got[j].y1, want[j].y1) << k;
            EXPECT_EQ(got[j].style, want[j].style) << k;
        }
    }
}

// A value beyond the pass's axis used to run on over the top of the box.
TEST_F(RecordQuery, segmentedCurvesStopAtTheEdgesOfTheValueBand) {
    measure(30, true);
    // Box 0 from 0 to 20 A: I1 = 10 + i reaches the top of the band (y = 200) at sample 10 and leaves it after.
    st.curves.CurveAxisMax[0] = 20;
    ASSERT_TRUE(query(10));
    const auto g = green(seg[0]);
    ASSERT_FALSE(g.empty());
    double top = 1600;
    for (const Call& c : g) {
        for (double y : {c.y1, c.y2}) {
            ASSERT_GE(y, 200);
            ASSERT_LE(y, 1600);
            top = std::min(top, y);
        }
    }
    EXPECT_EQ(top, 200);
}

TEST_F(RecordQuery, panelShowsTheQueriedSampleWithTheEnergyThePassReached) {
    measure(30, true);
    st.settings.SegmentCount = 10;
    st.file.TotalTime = 0;  // read back from the file
    PanelContent p;
    ASSERT_TRUE(query(7, &p));
    EXPECT_EQ(p.boxes[0], QStringLiteral(" 17.000"));
    EXPECT_EQ(p.boxes[1], QStringLiteral(" 400.000"));
    EXPECT_EQ(p.boxes[2], QStringLiteral(" 2.000"));
    // 2 kW for 14 s; the reactive power of 11..17 A at 400 V beside 2 kW, sqrt((0.4 (10 + i))^2 - 2^2) kvar,
    // adds up to 36.549 kvar over the seven samples, each standing for 2 s.
    EXPECT_EQ(p.boxes[10], QStringLiteral(" 7.778"));
    EXPECT_EQ(p.boxes[11], QStringLiteral(" 20.305"));
    EXPECT_EQ(p.state, MotorState::Running);
    EXPECT_EQ(p.motorColour, kBlack);
    EXPECT_EQ(st.file.TotalTime, 60.0f);
    EXPECT_EQ(st.file.ElapsedTime, 14.0f);  // 7 x 60 s / 30
    EXPECT_EQ(p.boxes[14], QStringLiteral(" 14 "));
    EXPECT_EQ(p.sample.fileValues[0], 17.0f);
    // Without boxes the panel is the same and the marker is still placed.
    SegmentedCurveState fresh;
    segState = fresh;
    PanelContent headless;
    ASSERT_TRUE(query(7, &headless, false));
    EXPECT_EQ(headless.boxes, p.boxes);
    EXPECT_EQ(segState.MarkerX, 2100);  // window 1..17 of width 20: sample 7 at 7 x 300
}

TEST_F(RecordQuery, withoutMotorDataTheEfficiencyAndLoadRateBoxesHoldOnlyGridAndCross) {
    measure(30, false);
    st.settings.SegmentCount = 10;
    st.curves.CurveAxisMax[3] = 500;  // U1 = 400 V inside its band, where its curve shows
    ASSERT_TRUE(query(15));
    for (int k = 0; k <= 7; ++k) EXPECT_EQ(green(seg[k]).size(), 20u) << k;
    for (int k : {8, 9}) {
        EXPECT_TRUE(green(seg[k]).empty()) << k;
        EXPECT_EQ(white(seg[k]).size(), 2u) << k;
        EXPECT_FALSE(grid(seg[k]).empty()) << k;
        EXPECT_EQ(grid(seg[k]).size() + 2, shown(seg[k]).size()) << k;  // nothing else on the box
    }
}

TEST_F(RecordQuery, generatingSampleLeavesAGapOnTheEfficiencyAndLoadRateBoxes) {
    measure(30, true, [](int i) { return i == 5 ? -0.5f : 2.0f; });
    st.settings.SegmentCount = 10;
    PanelContent p;
    ASSERT_TRUE(query(5, &p));
    EXPECT_EQ(p.state, MotorState::Generating);
    EXPECT_EQ(p.boxes[17], QString());
    EXPECT_EQ(green(seg[0]).size(), 14u);  // window 1..15
    for (int k : {8, 9}) {
        const auto g = green(seg[k]);
        EXPECT_EQ(g.size(), 13u) << k;
        for (const Call& c : g) EXPECT_NE(c.x2, 1500.0) << k;  // no segment towards sample 5
    }
}

TEST_F(RecordQuery, crossOfASampleBelowNoLoadSitsAtTheZeroThePanelShows) {
    measure(30, true, [](int i) { return i == 5 ? 0.1f : 2.0f; });
    st.settings.SegmentCount = 10;
    PanelContent p;
    ASSERT_TRUE(query(5, &p));
    EXPECT_EQ(p.state, MotorState::BelowNoLoad);
    EXPECT_EQ(p.boxes[17], QStringLiteral(" 0.000"));
    expectCross(seg[8], 1500, 1600, "efficiency");
    expectCross(seg[9], 1500, 1600, "load rate");
}

TEST_F(RecordQuery, refusesRecordsOutsideTheMeasurementWithoutDrawing) {
    measure(30, true);
    PanelContent p;
    p.motorCaption = QStringLiteral("before");
    const auto liveBefore = st.live.LiveValues;
    for (int64_t no : {0LL, -1LL, 31LL, 1000000LL}) {
        EXPECT_FALSE(query(no, &p)) << no;
        EXPECT_FALSE(error.isEmpty()) << no;
    }
    EXPECT_EQ(p.motorCaption, QStringLiteral("before"));
    EXPECT_EQ(st.live.LiveValues, liveBefore);
    for (int k = 0; k < kCurves; ++k) EXPECT_TRUE(seg[k].calls.empty() && cum[k].calls.empty()) << k;
}

TEST_F(RecordQuery, refusesWhenTheFileNoLongerHoldsTheAnalysedSamples) {
    measure(30, true);
    // The file is replaced by a shorter recording after the pass.
    const QString analysed = path;
    SharedState after = st;
    measure(12, true);
    st = after;
    ASSERT_EQ(st.file.WorkFile, analysed);
    EXPECT_FALSE(query(25));
    EXPECT_FALSE(error.isEmpty());
    // A record still present but whose window reaches beyond the end is refused too: nothing half drawn.
    EXPECT_FALSE(query(12));
    for (int k = 0; k < kCurves; ++k) EXPECT_TRUE(seg[k].calls.empty()) << k;
}

TEST_F(RecordQuery, refusesBeforeAnyPass) {
    measure(30, true);
    st.curves.EnergySums = {};
    EXPECT_EQ(queryableSamples(st), 0);
    EXPECT_FALSE(query(1));
}

TEST_F(RecordQuery, secondQueryReplacesTheFirstDrawing) {
    measure(30, true);
    st.settings.SegmentCount = 10;
    ASSERT_TRUE(query(1));
    ASSERT_TRUE(query(30));
    for (int k = 0; k < kCurves; ++k) EXPECT_EQ(white(seg[k]).size(), 2u) << k;
    EXPECT_EQ(green(seg[0]).size(), 10u);
    expectCross(seg[0], 3300, y0(30), "box 0");
}

TEST(QueryNumber, correctsOutOfRangeNumbersAndRefusesWhatIsNotAWholeNumber) {
    struct Case {
        const char* text;
        bool ok;
        int64_t number;
        const char* shown;
        bool corrected;
    } cases[] = {
        {"7", true, 7, "7", false},
        {"1", true, 1, "1", false},
        {"30", true, 30, "30", false},
        {"0", true, 1, "1", true},
        {"-5", true, 1, "1", true},
        {"31", true, 30, "30", true},
        {"1e30", true, 30, "30", true},
        {"-1e30", true, 1, "1", true},
        {" 12 ", true, 12, "12", true},
        {"12.0", true, 12, "12", true},
        {"abc", false, 0, "abc", false},
        {"3.5", false, 0, "3.5", false},
        {"-0.5", false, 0, "-0.5", false},
        {"", false, 0, "", false},
        {"12abc", false, 0, "12abc", false},
        {"nan", false, 0, "nan", false},
        {"inf", false, 0, "inf", false},
    };
    for (const Case& c : cases) {
        const QueryNumber q = checkQueryNumber(QString::fromLatin1(c.text), 30);
        EXPECT_EQ(q.ok, c.ok) << c.text;
        EXPECT_EQ(q.text, QString::fromLatin1(c.shown)) << c.text;
        EXPECT_EQ(q.corrected, c.corrected) << c.text;
        if (c.ok) {
            EXPECT_EQ(q.number, c.number) << c.text;
            EXPECT_TRUE(q.message.isEmpty()) << c.text;
        } else {
            EXPECT_EQ(q.message, QStringLiteral("数据号应为 1 到 30 之间的整数！")) << c.text;
        }
    }
    EXPECT_FALSE(checkQueryNumber(QStringLiteral("1"), 0).ok);  // nothing to query yet
}

}  // namespace
