// Durations split for display.
#pragma once

#include "shared/shared_state.h"

namespace mervo {

// Seconds to hours, minutes, seconds and hundredths, carrying rounded hundredths upwards.
void SplitTime(float t, TimeParts& out);

}  // namespace mervo
