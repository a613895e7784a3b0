// The sample data panel: value texts, the L/C indicator, the time boxes, the four motor states and the energy
// reached by the sweep.
#include <gtest/gtest.h>

#include "analysis/data_panel.h"
#include "shared/number_format.h"

// Readable failure messages for texts.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace mervo;

namespace {

// 4 kW at 80 %: rated losses 1 kW, no-load power 0.2 kW. An input of 5 kW is the rated input.
SharedState withMotor() {
    SharedState st;
    confirmNameplate(st.motor, {4, 4, 8.5f, 80, 4, 0.2f, 380});
    return st;
}

void setOutputs(SharedState& st, float v) {
    st.motor.MotorOutputPower = st.motor.MotorEfficiency = st.motor.MotorLoadRate = v;
}

std::array<float, 3> outputs(const SharedState& st) {
    return {st.motor.MotorOutputPower, st.motor.MotorEfficiency, st.motor.MotorLoadRate};
}

TEST(DataPanel, showsEachMotorStateWithItsCaptionColourAndBoxes) {
    struct Case {
        const char* name;
        bool motor;
        float sumP;
        bool sweep;
        MotorState state;
        const char* caption;
        Colour colour;
        std::optional<QString> box16, box17, box18;
        std::array<float, 3> outputsAfter;  // output power, efficiency, load rate
    };
    const auto nothing = std::optional<QString>();
    const Case cases[] = {
        {"running at the rated input", true, 5.0f, true, MotorState::Running, "电动机运行数据", kBlack,
         QStringLiteral(" 4.000"), QStringLiteral(" 80.000"), QStringLiteral(" 100.000"), {4, 80, 100}},
        {"input equal to the no-load power", true, 0.2f, true, MotorState::BelowNoLoad, "输入功率 小于 空载功率",
         kRed, QStringLiteral(" 0.000"), QStringLiteral(" 0.000"), QStringLiteral(" 0.000"), {0, 0, 0}},
        {"no input at all", true, 0.0f, false, MotorState::BelowNoLoad, "输入功率 小于 空载功率", kRed,
         QStringLiteral(" 0.000"), QStringLiteral(" 0.000"), QStringLiteral(" 0.000"), {0, 0, 0}},
        {"generating keeps the outputs", true, -0.5f, true, MotorState::Generating, "电动机处于发电状态", kRed,
         QString(), QString(), QString(), {7, 7, 7}},
        {"no motor data in the sweep", false, 5.0f, true, MotorState::NoMotorData, "无电机参数或参数不全", kRed,
         nothing, nothing, nothing, {0, 0, 0}},
        {"no motor data in a query", false, 5.0f, false, MotorState::NoMotorData, "无电机参数或参数不全", kRed,
         nothing, nothing, nothing, {7, 7, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SharedState st = c.motor ? withMotor() : SharedState{};
        setOutputs(st, 7);  // what an earlier sample left
        st.live.LiveValues[2] = c.sumP;
        const PanelContent p = panelFill(st, 1.0f, c.sweep);
        EXPECT_EQ(p.state, c.state);
        EXPECT_EQ(p.motorCaption, QString::fromUtf8(c.caption));
        EXPECT_EQ(p.motorColour, c.colour);
        EXPECT_EQ(p.boxes[15], formatFixed3(c.sumP));  // the input power is shown in every state
        EXPECT_EQ(p.boxes[16], c.box16);
        EXPECT_EQ(p.boxes[17], c.box17);
        EXPECT_EQ(p.boxes[18], c.box18);
        const auto after = outputs(st);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(after[i], c.outputsAfter[i], 1e-3) << i;
        // The numbers behind the motor boxes exist exactly where the boxes show numbers.
        EXPECT_EQ(p.sample.efficiency.has_value(), c.box17.has_value() && !c.box17->isEmpty());
    }
}

TEST(DataPanel, nameplateTheLossModelCannotEvaluateCountsAsNoMotorData) {
    // Rated losses 1 kW equal to the no-load power: no load losses, so no operating point.
    SharedState st;
    confirmNameplate(st.motor, {4, 4, 8.5f, 80, 4, 1.0f, 380});
    ASSERT_TRUE(st.motor.MotorDataValid);
    setOutputs(st, 7);
    st.live.LiveValues[2] = 3.0f;
    const PanelContent p = panelFill(st, 0, true);
    EXPECT_EQ(p.state, MotorState::NoMotorData);
    EXPECT_EQ(p.motorCaption, QStringLiteral("无电机参数或参数不全"));
    EXPECT_EQ(p.motorColour, kRed);
    EXPECT_FALSE(p.boxes[16] || p.boxes[17] || p.boxes[18]);
    EXPECT_EQ(outputs(st), (std::array<float, 3>{0, 0, 0}));
}

TEST(DataPanel, printsMagnitudesExceptTheActivePowerAndTheIndicatorFromThePowerFactorSign) {
    struct Case {
        float pf;
        const char* box8;
        const char* indicator;
    } cases[] = {{-0.6f, " 0.600", "L"}, {0.6f, " 0.600", "C"}, {1.0f, " 1.000", "C"}, {-1.0f, " 1.000", "L"}};
    for (const Case& c : cases) {
        SharedState st;
        st.live.LiveValues = {-12.5f, 380, -2.5f, 3, -220.25f, -1.25f, 0, 0.0004f, c.pf, 4.75f, 10, 20};
        const PanelContent p = panelFill(st, 0, true);
        EXPECT_EQ(p.boxes[8], QString::fromLatin1(c.box8)) << c.pf;
        EXPECT_EQ(p.indicator, QString::fromLatin1(c.indicator)) << c.pf;
        EXPECT_EQ(p.boxes[0], QStringLiteral(" 12.500"));
        EXPECT_EQ(p.boxes[2], QStringLiteral("- 2.500"));  // the total active power keeps its sign
        EXPECT_EQ(p.boxes[4], QStringLiteral(" 220.250"));
        EXPECT_EQ(p.boxes[5], QStringLiteral(" 1.250"));
        EXPECT_EQ(p.boxes[7], QStringLiteral(" 0.000"));
        EXPECT_EQ(p.boxes[15], QStringLiteral("- 2.500"));
        EXPECT_EQ(p.sample.values[8], c.pf);  // the numbers keep the sign the indicator shows
    }
}

TEST(DataPanel, indicatorFollowsTheDerivedPowerFactorOfTheStoredSample) {
    // The sign of a channel's current carries the direction of its reactive power: 100 V, 10 A and 0.6 kW
    // give 1 kVA, 0.8 kvar and a power factor of 0.6, lagging for a negative current.
    for (float current : {-10.0f, 10.0f}) {
        SharedState st;
        st.live.LiveValues = {};
        st.live.LiveValues[0] = current;
        st.live.LiveValues[1] = 100;
        st.live.LiveValues[2] = 0.6f;
        const PanelContent p = ShowSweepSample(st, 1.0f);
        EXPECT_NEAR(p.sample.values[8], current < 0 ? -0.6f : 0.6f, 1e-6);
        EXPECT_EQ(p.boxes[8], QStringLiteral(" 0.600"));
        EXPECT_EQ(p.indicator, current < 0 ? QStringLiteral("L") : QStringLiteral("C"));
        EXPECT_EQ(p.boxes[5], QStringLiteral(" 0.800"));
        EXPECT_EQ(p.boxes[9], QStringLiteral(" 1.000"));
        EXPECT_EQ(p.sample.fileValues[0], current);  // the values as read, before any derivation
    }
}

TEST(DataPanel, timeBoxesShowTheSplitTimeAsPrintedNumbers) {
    SharedState st;
    const PanelContent p = panelFill(st, 3725.25f, true);
    EXPECT_EQ(p.boxes[12], QStringLiteral(" 1 "));
    EXPECT_EQ(p.boxes[13], QStringLiteral(" 2 "));
    EXPECT_EQ(p.boxes[14], QStringLiteral(" 5 "));
    EXPECT_EQ(p.boxes[19], QStringLiteral(" 25 "));
    EXPECT_EQ(st.time.TimeH, 1);
    EXPECT_EQ(p.sample.elapsed, 3725.25f);
}

TEST(DataPanel, energyBoxesGrowByTenWattHoursPerSampleOfAConstantTenKilowattLoad) {
    // 100 samples over 360 s at 10 kW (one channel, 200 V, 50 A, power factor 1): 3.6 s per sample,
    // 10 kW x 3.6 s = 10 W·h.
    SharedState st;
    float previous = 0;
    for (int i = 1; i <= 100; ++i) {
        st.live.LiveValues = {};
        st.live.LiveValues[0] = 50;
        st.live.LiveValues[1] = 200;
        st.live.LiveValues[2] = 10;
        const PanelContent p = ShowSweepSample(st, static_cast<float>(360.0 * i / 100));
        EXPECT_EQ(p.boxes[10], formatFixed3(10.0f * i)) << i;
        EXPECT_EQ(p.boxes[11], QStringLiteral(" 0.000")) << i;
        EXPECT_NEAR(st.live.LiveValues[10] - previous, 10.0f, 1e-3) << i;
        previous = st.live.LiveValues[10];
        EXPECT_EQ(st.sums.BlockCount, static_cast<float>(i));
    }
    EXPECT_NEAR(st.sums.EnergyP, 1.0f, 1e-5);  // kWh
}

TEST(DataPanel, energyIsAMagnitudeOfTheSignedRunningMeanPower) {
    // A generating load: negative mean power, yet the boxes show the energy as a magnitude.
    SharedState st;
    for (int i = 1; i <= 2; ++i) {
        st.live.LiveValues = {};
        st.live.LiveValues[0] = 50;
        st.live.LiveValues[1] = 200;
        st.live.LiveValues[2] = -10;
        ShowSweepSample(st, 360.0f * i);
    }
    EXPECT_FLOAT_EQ(st.sums.EnergyP, -2.0f);
    EXPECT_FLOAT_EQ(st.live.LiveValues[10], 2000.0f);
}

TEST(DataPanel, sweepLimitsTheChannelPowerToItsApparentPower) {
    // 1.2 kW stored on a channel of only 1 kVA (100 V, 10 A): the derived values use 1 kW.
    SharedState st;
    st.live.LiveValues = {};
    st.live.LiveValues[0] = 10;
    st.live.LiveValues[1] = 100;
    st.live.LiveValues[2] = 1.2f;
    const PanelContent p = ShowSweepSample(st, 1);
    EXPECT_FLOAT_EQ(st.live.SampleValues[2], 1.0f);
    EXPECT_EQ(p.boxes[2], QStringLiteral(" 1.000"));
    EXPECT_EQ(p.indicator, QStringLiteral("C"));
    EXPECT_FLOAT_EQ(p.sample.fileValues[2], 1.2f);
}

}  // namespace
