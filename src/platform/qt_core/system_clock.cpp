#include <QDateTime>
#include <QTime>
#include <chrono>

#include "platform/clock.h"

namespace mervo {

double SystemClock::secondsSinceMidnight() const { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

double SystemClock::monotonicSeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace mervo
