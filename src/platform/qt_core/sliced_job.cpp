#include "platform/qt_core/sliced_job.h"

#include "shared/time_box.h"

namespace mervo {

SlicedJob::SlicedJob(int sliceMs, QObject* parent) : QObject(parent), sliceMs_(sliceMs) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &SlicedJob::runSlice);
}

void SlicedJob::start(std::function<bool()> step, std::function<void(bool over)> afterSlice) {
    step_ = std::move(step);
    afterSlice_ = std::move(afterSlice);
    timer_.start();
}

void SlicedJob::startNow(std::function<bool()> step, std::function<void(bool over)> afterSlice) {
    start(std::move(step), std::move(afterSlice));
    runSlice();
}

void SlicedJob::runSlice() {
    const auto step = step_;  // the handlers may start another job, which replaces both
    const auto after = afterSlice_;
    const bool over = runForAbout(sliceMs_, step);
    if (over) timer_.stop();
    after(over);
}

}  // namespace mervo
