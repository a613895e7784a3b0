// Time as the program needs it: the wall clock for the start stamp, a monotonic clock for durations.
#pragma once

namespace mervo {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, with a fractional part (header record 1).
    virtual double secondsSinceMidnight() const = 0;
    // Seconds on a clock that never jumps or wraps, for elapsed times (a receive may run past midnight).
    virtual double monotonicSeconds() const = 0;
};

class SystemClock : public Clock {
public:
    double secondsSinceMidnight() const override;
    double monotonicSeconds() const override;
};

}  // namespace mervo
