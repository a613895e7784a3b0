// The analysis window's two record sliders: HScroll1 reaches 32767 records; HScroll2 pages through a measurement
// that has more, so every record stays reachable.
#pragma once

#include <cstdint>

namespace mervo {

constexpr int kRecordsPerPage = 32767;

struct RecordSliders {
    int page = 1, pages = 1;     // HScroll2: its value and its maximum
    int value = 1, maximum = 1;  // HScroll1 on that page
};

// The sliders that point at record `no` (1..total) of `total`.
RecordSliders slidersFor(int64_t no, int64_t total);

// The record that slider value `value` on page `page` points at.
int64_t recordAt(int value, int page);

}  // namespace mervo
