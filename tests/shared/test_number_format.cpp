#include <gtest/gtest.h>

#include <utility>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "shared/number_format.h"
#include "shared/shortest_texts.h"

using namespace mervo;

namespace {

struct Case {
    float value;
    const char* text;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}

}  // namespace

TEST(Fixed3, minusGoesBeforeTheBlankAndRoundingIsHalfAwayFromZero) {
    const Case cases[] = {
        {2.0f, " 2.000"},
        {-1.5f, "- 1.500"},
        {0.0f, " 0.000"},
        {12345.679f, " 12345.679"},  // stored as 12345.67871...
        {1.0625f, " 1.063"},         // exact half in binary
        {-1.0625f, "- 1.063"},
        {0.0625f, " 0.063"},
        {2.0005f, " 2.000"},  // the float lies just below the half: 2.00049996...
        {999.9996f, " 1000.000"},
        {16777216.0f, " 16777216.000"},
        {FLT_MAX, " 340282346638528859811704183484516925440.000"},
        {-FLT_MAX, "- 340282346638528859811704183484516925440.000"},
        {-0.0004f, " 0.000"},  // rounds to zero: no sign
        {-0.0f, " 0.000"},
        {-0.0006f, "- 0.001"},
    };
    for (const Case& c : cases) EXPECT_EQ(formatFixed3(c.value), QString::fromLatin1(c.text)) << c.value;
}

// Every class of float, and the values where rounding the exact binary value matters: a float just above or
// below a decimal half, an exact binary half (which goes away from zero, not to the even digit), the switch to
// whole floats printed digit for digit at 1e15, and non-finite values.
TEST(Fixed3, floatClassesRoundTheExactBinaryValue) {
    const Case cases[] = {
        {std::numeric_limits<float>::denorm_min(), " 0.000"},
        {FLT_MIN, " 0.000"},
        {-FLT_MIN, " 0.000"},
        {0.0005f, " 0.001"},  // 0.000500000024...
        {-0.0005f, "- 0.001"},
        {1.0005f, " 1.000"},  // 1.000499963...
        {2.5e-4f, " 0.000"},
        {-2.5e-4f, " 0.000"},
        {0.3125f, " 0.313"},  // exact half: away from zero, not to the even .312
        {-524287.0625f, "- 524287.063"},
        {9999999.0f, " 9999999.000"},
        {1e7f, " 10000000.000"},
        {123456789.0f, " 123456792.000"},
        {1e9f, " 1000000000.000"},
        {1e15f, " 999999986991104.000"},
        {1.00000005e15f, " 1000000054099968.000"},
        {kNaN, " NaN"},
        {-kNaN, " NaN"},
        {kInf, " Inf"},
        {-kInf, " -Inf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatFixed3(c.value), QString::fromLatin1(c.text)) << c.value;
        std::string row = "x;";
        appendFixed3(row, c.value);
        EXPECT_EQ(row, std::string("x;") + c.text);
    }
}

// A damaged file may hold NaN or infinities; every form must still give some text that is no number.
TEST(NumberForms, nonFiniteValuesGiveTextThatIsNoNumber) {
    for (float v : {kNaN, kInf, -kInf}) {
        for (const QString& s : {formatFixed3(v), formatPrintNumber(v), formatCaption(v),
                                 formatSettingsValue(v)}) {
            EXPECT_FALSE(s.trimmed().isEmpty());
            EXPECT_FALSE(s.contains(QLatin1Char('.')) || s.contains(QLatin1Char('0'))) << s.toStdString();
        }
        EXPECT_TRUE(formatPrintNumber(v).endsWith(QLatin1Char(' ')));
        EXPECT_EQ(formatShortestFloat(v), "null");
    }
    EXPECT_NE(formatFixed3(kInf), formatFixed3(-kInf));
}

TEST(PrintNumber, leadingBlankOrMinusNoZeroBeforeThePointTrailingBlank) {
    const Case cases[] = {
        {12.0f, " 12 "},
        {-0.5f, "-.5 "},
        {0.2f, " .2 "},
        {0.0f, " 0 "},
        {-0.0f, " 0 "},
        {100.0f, " 100 "},
        {-1234.5f, "-1234.5 "},
        {0.1f, " .1 "},               // one digit reads 0.1f back
        {0.30000001f, " .3 "},        // the same float as 0.3f
        {2.0f / 3.0f, " .6666667 "},  // needs all seven digits
        {123456.7f, " 123456.7 "},
        {3.1415927f, " 3.141593 "},       // would need eight: capped at seven
        {1.0f / 3.0f, " .3333333 "},      // likewise
        {9999999.0f, " 9999999 "},        // largest seven-digit whole number stays plain
        {10000000.0f, " 1E+07 "},         // eight digits switch to the exponent form
        {12345678.0f, " 1.234568E+07 "},  // ... rounded to seven significant digits
        {-2.5e10f, "-2.5E+10 "},
        {1e38f, " 1E+38 "},
        {0.0001f, " .0001 "},
        {1e-5f, " 1E-05 "},
        {-1.5e-7f, "-1.5E-07 "},
        {std::numeric_limits<float>::denorm_min(), " 1E-45 "},
    };
    for (const Case& c : cases) EXPECT_EQ(formatPrintNumber(c.value), QString::fromLatin1(c.text)) << c.value;
}

// Any decimal of at most seven significant digits, stored as a float, prints as digits that read back to that
// float and never with more than seven digits.
TEST(PrintNumber, sevenDigitDecimalsReadBackToTheSameFloat) {
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int digits = 1 + static_cast<int>(seed % 7);
        const long mantissa = static_cast<long>((seed >> 8) % 9999999u) + 1;
        const int exp10 = static_cast<int>((seed >> 3) % 40) - 20;
        char src[64];
        std::snprintf(src, sizeof src, "%.*e", digits - 1, mantissa * std::pow(10.0, exp10 - 7));
        const float v = std::strtof(src, nullptr);
        const std::string core = formatGeneralCore(v).toStdString();
        EXPECT_EQ(bitsOf(std::strtof(core.c_str(), nullptr)), bitsOf(v)) << src << " -> " << core;
        int significant = 0;  // digits from the first non-zero one on
        for (char ch : core.substr(0, core.find('E')))
            if (ch >= '0' && ch <= '9' && (significant > 0 || ch != '0')) ++significant;
        EXPECT_LE(significant, 7) << core;
        EXPECT_NE(core.rfind("0.", 0), 0u) << "no zero before the point: " << core;
    }
}

// The general form in its three dresses over every class of float. Eight-digit values that lie exactly half-way
// at seven digits go to the even digit (8388606.5, 12345.625, 10000005).
TEST(GeneralForms, floatClassesExtremesAndSevenDigitTies) {
    struct Forms {
        float value;
        const char* core;
        const char* print;
        const char* caption;
    };
    const Forms cases[] = {
        {-0.0f, "0", " 0 ", "0"},
        {3 * std::numeric_limits<float>::denorm_min(), "4E-45", " 4E-45 ", "4E-45"},
        {1e-40f, "1E-40", " 1E-40 ", "1E-40"},
        {FLT_MIN, "1.175494E-38", " 1.175494E-38 ", "1.175494E-38"},
        {-FLT_MIN, "-1.175494E-38", "-1.175494E-38 ", "-1.175494E-38"},
        {FLT_MAX, "3.402823E+38", " 3.402823E+38 ", "3.402823E+38"},
        {-FLT_MAX, "-3.402823E+38", "-3.402823E+38 ", "-3.402823E+38"},
        {9.999999e-5f, "9.999999E-05", " 9.999999E-05 ", "9.999999E-05"},
        {0.00012345678f, ".0001234568", " .0001234568 ", "0.0001234568"},
        {0.0625f, ".0625", " .0625 ", "0.0625"},
        {-12345.625f, "-12345.62", "-12345.62 ", "-12345.62"},
        {8388606.5f, "8388606", " 8388606 ", "8388606"},
        {10000005.0f, "1E+07", " 1E+07 ", "1E+07"},
        {10000015.0f, "1.000002E+07", " 1.000002E+07 ", "1.000002E+07"},
        {123456789.0f, "1.234568E+08", " 1.234568E+08 ", "1.234568E+08"},
        {1e9f, "1E+09", " 1E+09 ", "1E+09"},
        {kNaN, "NaN", " NaN ", "NaN"},
        {-kNaN, "NaN", " NaN ", "NaN"},
        {kInf, "Inf", " Inf ", "Inf"},
        {-kInf, "-Inf", "-Inf ", "-Inf"},
    };
    for (const Forms& c : cases) {
        EXPECT_EQ(formatGeneralCore(c.value), QString::fromLatin1(c.core)) << c.value;
        EXPECT_EQ(formatPrintNumber(c.value), QString::fromLatin1(c.print)) << c.value;
        EXPECT_EQ(formatCaption(c.value), QString::fromLatin1(c.caption)) << c.value;
        std::string row = "x;";
        appendGeneralCore(row, c.value);
        appendPrintNumber(row, c.value);
        appendCaption(row, c.value);
        EXPECT_EQ(row, std::string("x;") + c.core + c.print + c.caption);
    }
}

TEST(Caption, noBlanksAndAZeroBeforeThePoint) {
    const Case cases[] = {{0.0f, "0"},     {5.0f, "5"},  {0.2f, "0.2"},
                          {215.0f, "215"}, {-0.5f, "-0.5"}, {-0.0f, "0"},
                          {12345678.0f, "1.234568E+07"},   {1e-5f, "1E-05"}};
    for (const Case& c : cases) EXPECT_EQ(formatCaption(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST(SettingsValue, blankOrMinusThenTheGeneralForm) {
    const Case cases[] = {{5400.0f, " 5400"}, {0.5f, " .5"}, {-2.0f, "-2"}, {1.0f, " 1"},
                          {0.0f, " 0"},       {20.0f, " 20"}, {-0.25f, "-.25"}};
    for (const Case& c : cases)
        EXPECT_EQ(formatSettingsValue(c.value), QString::fromLatin1(c.text)) << c.value;
}

TEST(ShortestFloat, readsBackBitForBitIncludingDenormalsAndExtremes) {
    const float values[] = {0.0f,        -0.0f,        0.1f,    1.0f / 3.0f, 3.1415927f,
                            -2.5f,       16777216.0f,  123456789.0f,
                            std::nextafter(1.0f, 2.0f), FLT_MAX, -FLT_MAX, FLT_MIN,
                            std::numeric_limits<float>::denorm_min(), 1e-40f, -3.3e-42f};
    for (float v : values) {
        const std::string s = formatShortestFloat(v);
        EXPECT_EQ(bitsOf(std::strtof(s.c_str(), nullptr)), bitsOf(v)) << s;
    }
}

TEST(ShortestFloat, manyAtOnceGiveEachTheTextOfOne) {
    // Each case in every lane of the eight worked out together, and in the rest done one at a time.
    const std::pair<float, const char*> cases[] = {
        {0.0f, "0"},
        {-0.0f, "-0"},
        {std::numeric_limits<float>::quiet_NaN(), "null"},
        {-std::numeric_limits<float>::infinity(), "null"},
        {0.1f, "0.1"},
        {-2.5f, "-2.5"},
        {100.0f, "100"},
        {16777217.0f, "16777216"},
        {-33565872.0f, "-33565872"},  // its own digits, not the shortest that read back
        {3.1415927f, "3.1415927"},
        {377.58273f, "377.58273"},
        {-0.057842214f, "-0.057842214"},
        {0.03125f, "0.03125"},
        {9.99999975e-06f, "0.00001"},
        {1.0000002e-05f, "0.000010000002"},
        {-1.23e-05f, "-0.0000123"},
        {9.9999e-06f, "9.9999e-06"},
        {9.99e15f, "9990000514957312"},
        {1e16f, "1e+16"},
        {123.456024f, "123.456024"},
        {-0.0123450095f, "-0.0123450095"},
        {FLT_MIN, "1.1754944e-38"},
        {std::numeric_limits<float>::denorm_min(), "1e-45"},
        {0.25f, "0.25"},  // a power of two: its lower neighbour is nearer
        {1.17549435e-37f, "1.1754944e-37"},
    };
    constexpr size_t n = std::size(cases);
    auto texts = std::make_unique<ShortestTexts>();
    for (size_t shift = 0; shift < 8; ++shift) {
        std::vector<float> values(shift, 1.0f);
        for (const auto& c : cases) values.push_back(c.first);
        texts->format(values.data(), values.size());
        for (size_t i = 0; i < n; ++i) {
            char out[kShortestMaxChars];
            const std::string got(out, texts->put(out, shift + i));
            EXPECT_EQ(got, cases[i].second) << "lane " << (shift + i) % 8;
        }
    }
}

TEST(ShortestFloat, usesNoMoreDigitsThanNeeded) {
    EXPECT_EQ(formatShortestFloat(0.1f), "0.1");
    EXPECT_EQ(formatShortestFloat(1.5f), "1.5");
    EXPECT_EQ(formatShortestFloat(100.0f), "100");
    // 3.1415927f needs eight digits and gets them, unlike the printed form.
    EXPECT_EQ(formatShortestFloat(3.1415927f), "3.1415927");
    // Plain decimals from a shortest exponent of -5 up to 15, on both sides of each end.
    const std::pair<float, const char*> ends[] = {{9.99999975e-06f, "0.00001"},
                                                  {1.0000002e-05f, "0.000010000002"},
                                                  {9.9999e-06f, "9.9999e-06"},
                                                  {9.9e-07f, "9.9e-07"},
                                                  {9.99e15f, "9990000514957312"},
                                                  {1e16f, "1e+16"},
                                                  {-1e16f, "-1e+16"},
                                                  // nine digits, around the point and after "0.0"
                                                  {123.456024f, "123.456024"},
                                                  {-0.0123450095f, "-0.0123450095"}};
    for (const auto& [v, text] : ends) EXPECT_EQ(formatShortestFloat(v), text) << text;
}

