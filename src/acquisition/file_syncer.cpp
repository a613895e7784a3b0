#include "acquisition/file_syncer.h"

namespace mervo {

FileSyncer::FileSyncer(DurableFile& file) : file_(file) { thread_ = std::thread([this] { run(); }); }

FileSyncer::~FileSyncer() { (void)finish(); }

void FileSyncer::request() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = true;
    }
    cv_.notify_one();
}

void FileSyncer::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_ && stopping_) return;
        pending_ = false;
        lock.unlock();
        Status s = file_.sync();
        lock.lock();
        ++completed_;
        if (!s && failure_.ok()) failure_ = s;
    }
}

Status FileSyncer::finish() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pending_ = true;
            stopping_ = true;
        }
        cv_.notify_one();
        thread_.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

int FileSyncer::completedSyncs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return completed_;
}

}  // namespace mervo
