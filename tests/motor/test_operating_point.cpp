// Load rate, output power and efficiency from the loss model, and the four motor states.
#include <gtest/gtest.h>

#include "motor/operating_point.h"

using namespace mervo;

namespace {

// 4 kW at 80 %: rated losses 1 kW, no-load power 0.2 kW, so load losses at rated load 0.8 kW.
MotorValues fourKilowatt() {
    MotorValues m;
    confirmNameplate(m, {4, 4, 8.5f, 80, 4, 0.2f, 380});
    return m;
}

TEST(OperatingPoint, followsTheLossModel) {
    struct Case {
        float pIn, loadRate, output, efficiency;
    } cases[] = {
        {5.0f, 100.0f, 4.0f, 80.0f},           // rated input gives rated load and rated efficiency
        {2.5f, 52.0761f, 2.08305f, 83.3218f},  // r = sqrt(4 + 2.3 * 0.8) = 2.416609
        {0.2001f, 0.0025f, 0.0001f, 0.0500f},  // just above no load
    };
    for (const Case& c : cases) {
        MotorValues m = fourKilowatt();
        ASSERT_EQ(classifyMotorState(m, c.pIn), MotorState::Running);
        MotorOperatingPoint(m, c.pIn);
        EXPECT_NEAR(m.MotorLoadRate, c.loadRate, 2e-3) << c.pIn;
        EXPECT_NEAR(m.MotorOutputPower, c.output, 1e-4) << c.pIn;
        EXPECT_NEAR(m.MotorEfficiency, c.efficiency, 2e-3) << c.pIn;
    }
}

TEST(OperatingPoint, inputAtRatedLoadOfAnyMotorGivesItsRatedEfficiency) {
    for (float pn : {0.75f, 11.0f, 200.0f, 1000.0f})
        for (float eta : {72.1f, 89.5f, 96.2f}) {
            MotorValues m;
            const float loss = ratedLoss(pn, eta);
            confirmNameplate(m, {4, pn, 1, eta, 1, 0.3f * loss, 380});
            MotorOperatingPoint(m, pn + loss);
            EXPECT_NEAR(m.MotorLoadRate, 100.0f, 0.01f) << pn << " kW " << eta << " %";
            EXPECT_NEAR(m.MotorEfficiency, eta, 0.01f) << pn << " kW " << eta << " %";
        }
}

// One evaluation per sample for the panel, the curves, the query and both printouts: the operating point while
// running, zeros below no-load, nothing (the caller's rule) when generating or without motor data.
TEST(MotorState, eachSampleIsEvaluatedOnce) {
    struct Case {
        MotorValues m;
        float sumP;
        MotorState state;
        std::optional<float> loadRate;
    } const cases[] = {
        {fourKilowatt(), 5.0f, MotorState::Running, 100.0f},
        {fourKilowatt(), 0.1f, MotorState::BelowNoLoad, 0.0f},
        {fourKilowatt(), -1.0f, MotorState::Generating, std::nullopt},
        {MotorValues{}, 5.0f, MotorState::NoMotorData, std::nullopt},
    };
    for (const Case& c : cases) {
        const MotorSample s = evaluateMotor(c.m, c.sumP);
        EXPECT_EQ(s.state, c.state) << c.sumP;
        ASSERT_EQ(s.outputs.has_value(), c.loadRate.has_value()) << c.sumP;
        if (c.loadRate) {
            EXPECT_NEAR(s.outputs->loadRate, *c.loadRate, 1e-3) << c.sumP;
        }
        MotorValues kept = c.m;
        kept.MotorLoadRate = 42;
        updateMotorOutputs(kept, c.sumP);
        EXPECT_NEAR(kept.MotorLoadRate, c.loadRate.value_or(42), 1e-3) << c.sumP << ": kept where none is given";
    }
}

TEST(MotorState, dependsOnTheInputAgainstTheNoLoadPower) {
    const MotorValues m = fourKilowatt();
    struct Case {
        float sumP;
        MotorState state;
    } cases[] = {
        {0.2001f, MotorState::Running},   {0.2f, MotorState::BelowNoLoad},     {0.0f, MotorState::BelowNoLoad},
        {-0.001f, MotorState::Generating}, {-5.0f, MotorState::Generating},
    };
    for (const Case& c : cases) EXPECT_EQ(classifyMotorState(m, c.sumP), c.state) << c.sumP;
    EXPECT_EQ(classifyMotorState(MotorValues{}, 3.0f), MotorState::NoMotorData);
    EXPECT_EQ(motorStateMessage(MotorState::NoMotorData), QStringLiteral("无电机参数或参数不全"));
    EXPECT_EQ(motorStateMessage(MotorState::Running), QStringLiteral("电动机运行数据"));
    EXPECT_EQ(motorStateMessage(MotorState::BelowNoLoad), QStringLiteral("输入功率 小于 空载功率"));
    EXPECT_EQ(motorStateMessage(MotorState::Generating), QStringLiteral("电动机处于发电状态"));
}

TEST(MotorState, aNameplateTheModelCannotEvaluateCountsAsNoMotorData) {
    struct Case {
        const char* why;
        std::array<float, 7> nameplate;
    } cases[] = {
        {"no-load power equal to the rated losses", {4, 4, 8.5f, 80, 4, 1.0f, 380}},
        {"no-load power above the rated losses", {4, 4, 8.5f, 80, 4, 1.5f, 380}},
        {"negative no-load power", {4, 4, 8.5f, 80, 4, -0.2f, 380}},
        {"efficiency above 100 %", {4, 4, 8.5f, 120, 4, 0.2f, 380}},
    };
    for (const Case& c : cases) {
        MotorValues m;
        confirmNameplate(m, c.nameplate);
        EXPECT_TRUE(m.MotorDataValid) << c.why;
        EXPECT_FALSE(motorModelUsable(m)) << c.why;
        EXPECT_EQ(classifyMotorState(m, 3.0f), MotorState::NoMotorData) << c.why;
    }
}

TEST(Nameplate, confirmingSetsTheRatedLossOnlyWhenComplete) {
    MotorValues m = fourKilowatt();
    EXPECT_FLOAT_EQ(m.MotorRatedLoss, 1.0f);
    confirmNameplate(m, {4, 7.5f, 15, 88, 6, 0, 380});  // one value missing
    EXPECT_FALSE(m.MotorDataValid);
    EXPECT_FLOAT_EQ(m.MotorRatedLoss, 1.0f) << "kept from the last complete nameplate";
}

}  // namespace
