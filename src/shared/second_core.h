// A second thread for work that splits in two, kept for the length of a job so each hand-over costs a wake-up,
// not a thread start. Started at the first hand-over; whether it is worth having is the caller's to ask.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace mervo {

class SecondCore {
public:
    SecondCore() = default;
    SecondCore(const SecondCore&) = delete;
    SecondCore& operator=(const SecondCore&) = delete;
    ~SecondCore();

    // Whether this machine has another core to give the work to.
    static bool available() { return std::thread::hardware_concurrency() > 1; }

    // Runs `job` on the second thread; finish() waits until it has returned.
    void start(std::function<void()> job);
    void finish();
    // Runs `theirs` there and `mine` here; returns once both are done.
    void together(std::function<void()> theirs, const std::function<void()>& mine) {
        start(std::move(theirs));
        mine();
        finish();
    }

private:
    void serve();

    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    std::function<void()> job_;
    bool busy_ = false, quit_ = false;
};

}  // namespace mervo
