#include <gtest/gtest.h>

#include "analysis/record_sliders.h"

using namespace mervo;

// 32767 records a page: the page slider appears past one page, and the last page holds only what is left.
TEST(RecordSliders, everyRecordIsReachableAndFoundAgain) {
    struct Case {
        int64_t no, total;
        int page, pages, value, maximum;
    } const cases[] = {
        {1, 1, 1, 1, 1, 1},
        {200, 200, 1, 1, 200, 200},
        {32767, 32767, 1, 1, 32767, 32767},
        {32768, 32768, 2, 2, 1, 1},
        {32767, 100000, 1, 4, 32767, 32767},
        {100000, 100000, 4, 4, 1699, 1699},
        {65535, 2764800, 3, 85, 1, 32767},
        {0, 50, 1, 1, 1, 50},     // held to the first record
        {51, 50, 1, 1, 50, 50},   // and to the last
    };
    for (const Case& c : cases) {
        const RecordSliders s = slidersFor(c.no, c.total);
        EXPECT_EQ(s.page, c.page) << c.no << " of " << c.total;
        EXPECT_EQ(s.pages, c.pages) << c.no << " of " << c.total;
        EXPECT_EQ(s.value, c.value) << c.no << " of " << c.total;
        EXPECT_EQ(s.maximum, c.maximum) << c.no << " of " << c.total;
        if (c.no >= 1 && c.no <= c.total) {
            EXPECT_EQ(recordAt(s.value, s.page), c.no);
        }
    }
}
