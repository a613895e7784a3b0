// A clock that tests set by hand.
#pragma once

#include "platform/clock.h"

namespace mervo {

class FakeClock : public Clock {
public:
    double midnight = 36000.0;  // 10:00:00 when the test starts
    double mono = 1000.0;

    double secondsSinceMidnight() const override { return midnight; }
    double monotonicSeconds() const override { return mono; }
    void advance(double s) {
        mono += s;
        midnight += s;
        if (midnight >= 86400.0) midnight -= 86400.0;  // the wall clock wraps, the monotonic one does not
    }
};

}  // namespace mervo
