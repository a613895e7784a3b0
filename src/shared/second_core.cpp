#include "shared/second_core.h"

namespace mervo {

SecondCore::~SecondCore() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_);
        quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void SecondCore::start(std::function<void()> job) {
    if (!thread_.joinable()) thread_ = std::thread([this] { serve(); });
    {
        std::lock_guard<std::mutex> lock(m_);
        job_ = std::move(job);
        busy_ = true;
    }
    cv_.notify_all();
}

void SecondCore::finish() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return !busy_; });
}

void SecondCore::serve() {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        cv_.wait(lock, [this] { return quit_ || job_; });
        if (quit_) return;
        std::function<void()> job = std::move(job_);
        job_ = nullptr;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace mervo
