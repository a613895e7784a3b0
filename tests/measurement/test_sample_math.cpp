#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "measurement/codec.h"
#include "measurement/sample_math.h"

using namespace mervo;

namespace {

using Bytes = std::array<uint8_t, 3>;

float roundTrip(float v) {
    const Bytes b = EncodeTriple(v);
    return DecodeTriple(b[0], b[1], b[2]);
}

// The blocks of one receive: extremes and sums start afresh.
class ProcessBlock : public ::testing::Test {
protected:
    LiveArrays live;
    RunningSums sums;
    void SetUp() override { live.resetExtremes(); }
    // One block in file-sample order, channel by channel: current, voltage, power.
    int process(std::array<float, 9> iup, float elapsed = 1) {
        for (int i = 0; i < 9; ++i) live.LiveValues[i] = iup[i];
        return ProcessSample(live, sums, elapsed);
    }
};

}  // namespace

TEST(DecodeTriple, mantissaLowByteFirstThenSignAndExponent) {
    struct {
        uint8_t b0, b1, b2;
        double value;
    } const cases[] = {
        {0x00, 0x80, 0x01, 1.0},
        {0x00, 0xC0, 0x02, 3.0},
        {0x00, 0x80, 0x7F, 0.25},
        {0x00, 0x80, 0x81, -1.0},
        {0x00, 0x00, 0x05, 0.0},
        {0x00, 0x00, 0xFF, 0.0},
        {0x34, 0x12, 0x00, 0x1234 / 65536.0},  // low byte first
        {0x00, 0x80, 0x3F, std::ldexp(1.0, 62)},  // largest exponent
        {0x00, 0x80, 0x40, std::ldexp(1.0, -65)},  // smallest exponent
        {0x00, 0x80, 0xBF, -std::ldexp(1.0, 62)},
        {0x00, 0x80, 0xC0, -std::ldexp(1.0, -65)},
        {0xFF, 0xFF, 0x3F, std::ldexp(1.0, 63) - std::ldexp(1.0, 47)},  // largest magnitude
        {0x01, 0x00, 0x40, std::ldexp(1.0, -80)},                        // smallest magnitude
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<double>(DecodeTriple(c.b0, c.b1, c.b2)), c.value)
            << std::hex << int(c.b0) << ' ' << int(c.b1) << ' ' << int(c.b2);
}

TEST(EncodeTriple, givesBackTheBytesOfEveryNormalisedTriple) {
    for (int c = 0; c < 256; ++c)
        for (int m = 32768; m < 65536; m += (m < 65529 ? 7 : 1)) {
            const Bytes b{uint8_t(m & 0xFF), uint8_t(m >> 8), uint8_t(c)};
            ASSERT_EQ(EncodeTriple(DecodeTriple(b[0], b[1], b[2])), b) << "exponent " << c << " m " << m;
        }
    // Below 2^-65 the mantissa loses its top bit at the smallest exponent.
    for (int m : {1, 2, 255, 4660, 32767}) {
        const Bytes b{uint8_t(m & 0xFF), uint8_t(m >> 8), 0x40};
        EXPECT_EQ(EncodeTriple(DecodeTriple(b[0], b[1], b[2])), b) << m;
    }
}

TEST(EncodeTriple, otherValuesGoToTheNearestTriple) {
    uint32_t seed = 7;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double frac = 0.5 + (seed >> 8) / double(1u << 25);
        const int e = static_cast<int>(seed % 150) - 85;  // exponents -85 .. 64 straddle both ends
        const float v = static_cast<float>(std::ldexp(i % 2 ? -frac : frac, e));
        const double limit = std::ldexp(65535.0, 63 - 16);
        const double got = roundTrip(v);
        if (std::fabs(v) >= limit) {
            EXPECT_EQ(std::fabs(got), limit) << v << " saturates";
            continue;
        }
        const double halfStep = std::ldexp(1.0, std::max(e, -64) - 17);
        EXPECT_LE(std::fabs(got - v), halfStep) << v;
        if (got != 0) {
            EXPECT_EQ(got < 0, v < 0) << v;
        }
    }
}

TEST(EncodeTriple, tiesGoAwayFromZero) {
    EXPECT_EQ(roundTrip(1.0f + std::ldexp(1.0f, -16)), 1.0f + std::ldexp(1.0f, -15));
    EXPECT_EQ(roundTrip(-(1.0f + std::ldexp(1.0f, -16))), -(1.0f + std::ldexp(1.0f, -15)));
    EXPECT_EQ(roundTrip(std::ldexp(1.0f, -81)), std::ldexp(1.0f, -80));
    EXPECT_EQ(roundTrip(std::ldexp(1.0f, -82)), 0.0f);
}

TEST(EncodeTriple, saturatesBeyondTheFormatAndMapsNaNToZero) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(EncodeTriple(1e30f), (Bytes{0xFF, 0xFF, 0x3F}));
    EXPECT_EQ(EncodeTriple(std::ldexp(1.0f, 63)), (Bytes{0xFF, 0xFF, 0x3F}));
    EXPECT_EQ(EncodeTriple(inf), (Bytes{0xFF, 0xFF, 0x3F}));
    EXPECT_EQ(EncodeTriple(-inf), (Bytes{0xFF, 0xFF, 0xBF}));
    EXPECT_EQ(EncodeTriple(-1e30f), (Bytes{0xFF, 0xFF, 0xBF}));
    const Bytes nan = EncodeTriple(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(DecodeTriple(nan[0], nan[1], nan[2]), 0.0f);
}

TEST_F(ProcessBlock, powerAboveApparentIsLimitedInMemoryButNotInTheSample) {
    ASSERT_EQ(process({10, 230, 2.5f, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_FLOAT_EQ(live.LiveValues[2], 2.3f) << "S = 230 * 10 / 1000";
    EXPECT_EQ(live.LiveValues[5], 0.0f);
    EXPECT_EQ(live.LiveValues[8], 1.0f);
    EXPECT_FLOAT_EQ(live.LiveValues[9], 2.3f);
    const std::array<float, 9> asWritten{10, 230, 2.5f, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(live.SampleValues, asWritten);
}

TEST_F(ProcessBlock, negativeCurrentGivesNegativeReactivePower) {
    ASSERT_EQ(process({-10, 230, 1.84f, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_NEAR(live.LiveValues[5], -1.38, 1e-5) << "sqrt(2.3^2 - 1.84^2), signed by the current";
    EXPECT_NEAR(live.LiveValues[9], 2.3, 1e-5);
    EXPECT_NEAR(live.LiveValues[8], 0.8, 1e-5) << "1.84 / 2.3";
    EXPECT_TRUE(live.PowerFactorNegative);
}

TEST_F(ProcessBlock, noReactivePowerMeansUnityPowerFactorNeverNegative) {
    // |P| equals |S| on every channel and every current is negative: each Q and their sum are negative zeros.
    live.PowerFactorNegative = true;
    ASSERT_EQ(process({-10, 100, 1, -5, 200, 1, -1, 1000, -1}), 0);
    EXPECT_EQ(live.LiveValues[5], 0.0f);
    EXPECT_EQ(live.LiveValues[8], 1.0f);
    EXPECT_FALSE(live.PowerFactorNegative) << "indicator C";
}

TEST_F(ProcessBlock, threeFourFiveTriangle) {
    ASSERT_EQ(process({-5, 1000, 3, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_FLOAT_EQ(live.LiveValues[2], 3.0f);
    EXPECT_FLOAT_EQ(live.LiveValues[5], -4.0f);
    EXPECT_FLOAT_EQ(live.LiveValues[9], 5.0f);
    EXPECT_FLOAT_EQ(live.LiveValues[8], 0.6f) << "magnitude while receiving";
    EXPECT_TRUE(live.PowerFactorNegative) << "indicator L";
}

TEST_F(ProcessBlock, energyIsMeanPowerTimesElapsedHours) {
    // Alternating 5 and 15 kW (mean 10), sign reversed: the display shows the magnitude.
    for (int k = 1; k <= 10; ++k)
        ASSERT_EQ(process({20, 1000, k % 2 ? -5.0f : -15.0f, 0, 0, 0, 0, 0, 0}, 36.0f * k), 0);
    EXPECT_EQ(sums.BlockCount, 10.0f);
    EXPECT_FLOAT_EQ(sums.EnergyP, -1.0f) << "360 s at 10 kW";
    EXPECT_FLOAT_EQ(live.LiveValues[10], 1.0f);
    EXPECT_GT(live.LiveValues[11], 0.0f);
    EXPECT_FLOAT_EQ(live.LiveValues[11], std::fabs(sums.EnergyQ));
}

TEST_F(ProcessBlock, extremesAreSignedForTotalPowerAndAbsoluteElsewhere) {
    ASSERT_EQ(process({-10, 230, -1, 0, 0, 0, 0, 0, 0}), 0);
    ASSERT_EQ(process({5, 230, 0.5f, 0, 0, 0, 0, 0, 0}), 0);
    // Further blocks that are neither a new maximum nor a new minimum leave both alone.
    ASSERT_EQ(process({-7, 230, 0.2f, 0, 0, 0, 0, 0, 0}), 0);
    ASSERT_EQ(process({8, 230, -0.5f, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(live.LiveMax[0], 10.0f);
    EXPECT_EQ(live.LiveMin[0], 5.0f);
    EXPECT_EQ(live.LiveMax[2], 0.5f);
    EXPECT_EQ(live.LiveMin[2], -1.0f);
    EXPECT_NEAR(live.LiveMax[5], std::sqrt(2.3 * 2.3 - 1), 1e-5) << "|Q| of the first block";
    EXPECT_NEAR(live.LiveMin[5], std::sqrt(1.15 * 1.15 - 0.25), 1e-5);
    EXPECT_EQ(live.LiveMax[3], 0.0f);
    EXPECT_EQ(live.LiveMin[3], 0.0f);
}

// The initial -100000 / 100000 only mean "no reading yet": a line at 110 kV must not report a minimum of
// 100000 V, nor an export of 150 MW a maximum of -100000 kW.
TEST_F(ProcessBlock, firstReadingSetsExtremesEvenBeyondTheirInitialValues) {
    ASSERT_EQ(process({2000, 110000, -150000, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(live.LiveMin[1], 110000.0f);
    EXPECT_EQ(live.LiveMax[1], 110000.0f);
    EXPECT_EQ(live.LiveMax[2], -150000.0f);
    EXPECT_EQ(live.LiveMin[2], -150000.0f);
    ASSERT_EQ(process({2000, 120000, -140000, 0, 0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(live.LiveMin[1], 110000.0f);
    EXPECT_EQ(live.LiveMax[1], 120000.0f);
    EXPECT_EQ(live.LiveMax[2], -140000.0f);
    EXPECT_EQ(live.LiveMin[2], -150000.0f);
}

TEST_F(ProcessBlock, overflowingBlockReportsErrorAndLeavesSumsAndExtremes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::array<float, 9> bad[] = {
        {1e20f, 1e20f, 0, 0, 0, 0, 0, 0, 0},  // U * I beyond any float
        {0, 0, 0, 0, 0, 0, -3e19f, 2e19f, 1},
        {nan, 230, 1, 0, 0, 0, 0, 0, 0},
        {1, 230, std::numeric_limits<float>::infinity(), 0, 0, 0, 0, 0, 0},
    };
    for (const auto& values : bad) {
        ASSERT_EQ(process({10, 230, 1, 0, 0, 0, 0, 0, 0}), 0);
        const RunningSums before = sums;
        const auto max = live.LiveMax, min = live.LiveMin;
        EXPECT_EQ(process(values, 2), kErrOverflow) << values[0] << ' ' << values[6];
        EXPECT_EQ(sums.SumP, before.SumP);
        EXPECT_EQ(sums.SumQ, before.SumQ);
        EXPECT_EQ(sums.BlockCount, before.BlockCount);
        EXPECT_EQ(sums.EnergyP, before.EnergyP);
        EXPECT_EQ(live.LiveMax, max);
        EXPECT_EQ(live.LiveMin, min);
    }
}

TEST(DeriveRecord, keepsThePowerFactorSignAndLeavesEnergies) {
    std::array<float, 9> sample{-5, 1000, 3, 0, 0, 0, 0, 0, 0};
    std::array<float, 12> target{-5, 1000, 3, 0, 0, 0, 0, 0, 0, 0, 77, 88};
    DeriveRecord(sample, target);
    EXPECT_FLOAT_EQ(target[2], 3.0f);
    EXPECT_FLOAT_EQ(target[5], -4.0f);
    EXPECT_FLOAT_EQ(target[8], -0.6f);
    EXPECT_FLOAT_EQ(target[9], 5.0f);
    EXPECT_EQ(target[10], 77.0f);
    EXPECT_EQ(target[11], 88.0f);
}

TEST(DeriveRecord, limitsThePowersOfTheSample) {
    std::array<float, 9> sample{10, 230, 2.5f, 2, 100, -0.5f, 1, 100, -0.05f};
    std::array<float, 12> target{};
    for (int i = 0; i < 9; ++i) target[i] = sample[i];
    DeriveRecord(sample, target);
    EXPECT_FLOAT_EQ(sample[2], 2.3f);
    EXPECT_FLOAT_EQ(sample[5], -0.2f) << "limited with its sign kept";
    EXPECT_FLOAT_EQ(sample[8], -0.05f) << "within S: unchanged";
    EXPECT_FLOAT_EQ(target[2], 2.3f - 0.2f - 0.05f);
    EXPECT_NEAR(target[5], std::sqrt(0.01 - 0.0025), 1e-6) << "only channel 3 has reactive power";
}

namespace {

// A day of blocks at constant power: the mean power, and so the energy, must not drift as the sums grow.
TEST(RunningSums, aDayOfBlocksKeepsTheEnergyExact) {
    mervo::LiveArrays live;
    live.resetExtremes();
    mervo::RunningSums sums;
    const int blocks = 32 * 86400;
    for (int i = 1; i <= blocks; ++i) {
        live.LiveValues = {-10, 230, 1.7f, -10, 230, 1.7f, -10, 230, 1.7f, 0, 0, 0};
        ASSERT_EQ(mervo::ProcessSample(live, sums, i / 32.0f), 0);
    }
    const double mean = 3 * static_cast<double>(1.7f);  // kW, summed per channel as floats do
    EXPECT_NEAR(sums.EnergyP, mean * 24.0, mean * 24.0 * 1e-5);
}

}  // namespace
