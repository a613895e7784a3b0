#include <gtest/gtest.h>

#include <optional>

#include "shared/text_parse.h"

using namespace mervo;

TEST(TextParse, numbersAsTypedInAnyField) {
    struct Case {
        const char* text;
        std::optional<double> number;
        bool isFloat;  // a float holds it
        std::optional<int64_t> whole, integer;
    } const cases[] = {
        {"12", 12, true, 12, 12},
        {" 3.5 ", 3.5, true, std::nullopt, std::nullopt},
        {"-2", -2, true, -2, -2},
        {"1e3", 1000, true, 1000, std::nullopt},
        {"+7", 7, true, 7, 7},
        {"1e39", 1e39, false, std::nullopt, std::nullopt},
        {"1e300", 1e300, false, std::nullopt, std::nullopt},
        {"9223372036854775807", 9223372036854775807.0, true, std::nullopt, INT64_MAX},
        {"", std::nullopt, false, std::nullopt, std::nullopt},
        {"  ", std::nullopt, false, std::nullopt, std::nullopt},
        {"abc", std::nullopt, false, std::nullopt, std::nullopt},
        {"3,5", std::nullopt, false, std::nullopt, std::nullopt},
        {"0x10", std::nullopt, false, std::nullopt, std::nullopt},
        {"nan", std::nullopt, false, std::nullopt, std::nullopt},
        {"inf", std::nullopt, false, std::nullopt, std::nullopt},
        {"380V", std::nullopt, false, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const QString t = QString::fromLatin1(c.text);
        EXPECT_EQ(numberFromText(t), c.number) << c.text;
        EXPECT_EQ(floatFromText(t).has_value(), c.isFloat) << c.text;
        EXPECT_EQ(wholeNumberFromText(t), c.whole) << c.text;
        EXPECT_EQ(integerFromText(t), c.integer) << c.text;
    }
}

TEST(TextParse, datesAreFiveIntegersWithinACalendarDayAndHour) {
    struct Case {
        const char* text;
        bool ok;
    } const cases[] = {
        {"2024,3,15,9,30", true}, {" 2024 , 12 , 31 , 23 , 59 ", true}, {"2024,1,1,0,0", true},
        {"2024,13,45,25,61", false}, {"2024,0,1,0,0", false}, {"2024,1,32,0,0", false},
        {"2024,1,1,24,0", false}, {"2024,1,1,0,60", false}, {"2024,3,15,9", false},
        {"2024,3,15,9,30,1", false}, {"2024,3,1.5,9,30", false}, {"abc", false},
    };
    for (const Case& c : cases) EXPECT_EQ(dateFromText(QString::fromLatin1(c.text)).has_value(), c.ok) << c.text;
    const auto d = dateFromText(QStringLiteral("2024,3,15,9,30"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->year, 2024);
    EXPECT_EQ(d->month, 3);
    EXPECT_EQ(d->day, 15);
    EXPECT_EQ(d->hour, 9);
    EXPECT_EQ(d->minute, 30);
}
