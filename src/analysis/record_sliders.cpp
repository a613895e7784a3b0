#include "analysis/record_sliders.h"

#include <algorithm>

namespace mervo {

RecordSliders slidersFor(int64_t no, int64_t total) {
    RecordSliders s;
    if (total < 1) return s;
    no = std::clamp<int64_t>(no, 1, total);
    s.pages = static_cast<int>((total - 1) / kRecordsPerPage) + 1;
    s.page = static_cast<int>((no - 1) / kRecordsPerPage) + 1;
    const int64_t first = static_cast<int64_t>(kRecordsPerPage) * (s.page - 1);
    s.maximum = static_cast<int>(std::min<int64_t>(total - first, kRecordsPerPage));
    s.value = static_cast<int>(no - first);
    return s;
}

int64_t recordAt(int value, int page) { return value + static_cast<int64_t>(kRecordsPerPage) * (page - 1); }

}  // namespace mervo
