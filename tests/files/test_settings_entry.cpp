#include <gtest/gtest.h>

#include "files/settings_entry.h"

using namespace mervo;

TEST(SettingsEntry, ratiosAboveZeroAndADurationOfAtLeastOneSecond) {
    using F = SettingsField;
    struct Case {
        const char *ct, *pt, *h, *m, *s;
        bool ok;
        float seconds;
        F field;  // where the cursor goes when refused
    } const cases[] = {
        {"1", "1", "1", "30", "0", true, 5400, F::CTRatio},
        {"2.5", " 10 ", "", "", "10", true, 10, F::CTRatio},
        {"1", "1", "0", "0", "0.5", false, 0, F::Seconds},
        {"1", "1", "", "", "", false, 0, F::Seconds},
        {"0", "1", "0", "0", "10", false, 0, F::CTRatio},
        {"abc", "1", "0", "0", "10", false, 0, F::CTRatio},
        {"1e39", "1", "0", "0", "10", false, 0, F::CTRatio},
        {"1e-50", "1", "0", "0", "10", false, 0, F::CTRatio},  // 0 once a float
        {"1", "-1", "0", "0", "10", false, 0, F::PTRatio},
        {"1", "nan", "0", "0", "10", false, 0, F::PTRatio},
        {"1", "1", "-1", "0", "10", false, 0, F::Hours},
        {"1", "1", "0", "x", "10", false, 0, F::Minutes},
        {"1", "1", "0", "0", "1e39", false, 0, F::Seconds},
        {"1", "1", "3e34", "0", "0", true, 1.08e38f, F::CTRatio},
        {"2000", "1100", "0", "0", "10", true, 10, F::CTRatio},  // a 10 kA and a 110 kV transformer
        {"1e30", "1e30", "0", "0", "10", false, 0, F::CTRatio},   // each a float, their product no block's
        {"1", "1", "1e35", "0", "0", false, 0, F::Hours},  // 3.6e38 s: no float holds it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ct << " " << c.pt << " " << c.h << ":" << c.m << ":" << c.s);
        F field = F::Seconds;
        const auto e = checkSettingsTexts({QString::fromLatin1(c.ct), QString::fromLatin1(c.pt),
                                           {QString::fromLatin1(c.h), QString::fromLatin1(c.m), QString::fromLatin1(c.s)}},
                                          &field);
        ASSERT_EQ(e.ok(), c.ok) << e.message().toStdString();
        if (c.ok) {
            EXPECT_EQ(e->TotalTime, c.seconds);
        } else {
            EXPECT_EQ(field, c.field);
            EXPECT_TRUE(e.message().endsWith(QStringLiteral("！")));
        }
    }
}
