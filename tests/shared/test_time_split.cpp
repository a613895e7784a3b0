#include <gtest/gtest.h>

#include <limits>

#include "shared/time_split.h"

using namespace mervo;

TEST(SplitTime, hoursMinutesSecondsHundredthsWithCarries) {
    struct {
        float t;
        int h, m, s, cs;
    } const cases[] = {
        {3725.25f, 1, 2, 5, 25},  {59.996f, 0, 1, 0, 0},    {3599.996f, 1, 0, 0, 0},
        {40000, 11, 6, 40, 0},    {36000.5f, 10, 0, 0, 50}, {86399.99f, 23, 59, 59, 99},
        {1e8f, 27777, 46, 40, 0}, {0, 0, 0, 0, 0},          {-5, 0, 0, 0, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0, 0, 0, 0},
        {std::numeric_limits<float>::infinity(), 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        TimeParts p{1, 2, 3, 4};
        SplitTime(c.t, p);
        EXPECT_EQ(p.TimeH, c.h) << c.t;
        EXPECT_EQ(p.TimeM, c.m) << c.t;
        EXPECT_EQ(p.TimeS, c.s) << c.t;
        EXPECT_EQ(p.TimeCs, c.cs) << c.t;
    }
}

// The settings window's three duration fields: whole seconds, halves to even, carries into minutes and hours.
TEST(SplitDuration, wholeSecondsWithTheirCarries) {
    struct Case {
        float t;
        double h;
        int m, s;
    } const cases[] = {
        {5400, 1, 30, 0},      {10, 0, 0, 10},      {3599.6f, 1, 0, 0}, {86399.7f, 24, 0, 0},
        {61.4f, 0, 1, 1},      {61.6f, 0, 1, 2},    {0, 0, 0, 0},       {-5, 0, 0, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0, 0, 0},
        {1e12f, 277777776, 38, 24},  // 999999995904 s, a stored duration far beyond any receive
    };
    for (const auto& c : cases) {
        const DurationFields d = splitDuration(c.t);
        EXPECT_EQ(d.hours, c.h) << c.t;
        EXPECT_EQ(d.minutes, c.m) << c.t;
        EXPECT_EQ(d.seconds, c.s) << c.t;
    }
}
