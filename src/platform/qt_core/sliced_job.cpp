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

void SlicedJob::runSlice() {
    const bool over = runForAbout(sliceMs_, step_);
    if (over) timer_.stop();
    const auto after = afterSlice_;  // the handler may start another job, which replaces afterSlice_
    after(over);
}

}  // namespace mervo
