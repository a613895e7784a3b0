// A long job run from the event loop one time-boxed slice at a time, so the window it serves repaints and answers
// its buttons between slices (a loop that pumped events instead would re-enter the window's handlers).
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace mervo {

class SlicedJob : public QObject {
public:
    // Slices of about `sliceMs` each.
    explicit SlicedJob(int sliceMs, QObject* parent = nullptr);

    // Runs `step` (one short piece of the work; true once the job is over) for a slice at each turn of the event
    // loop, then `afterSlice` with whether the job is over; the job stops by itself once it is. A job started
    // while one is active takes its place.
    void start(std::function<bool()> step, std::function<void(bool over)> afterSlice);
    // The same, with the first slice run before it returns: a short job is over (and shown) at once.
    void startNow(std::function<bool()> step, std::function<void(bool over)> afterSlice);
    void stop() { timer_.stop(); }
    bool active() const { return timer_.isActive(); }

private:
    void runSlice();

    int sliceMs_;
    QTimer timer_;
    std::function<bool()> step_;
    std::function<void(bool)> afterSlice_;
};

}  // namespace mervo
