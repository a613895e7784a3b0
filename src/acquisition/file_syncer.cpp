#include "acquisition/file_syncer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mervo {

FileSyncer::FileSyncer(int fd) : fd_(::dup(fd)) { thread_ = std::thread([this] { run(); }); }

FileSyncer::~FileSyncer() { finish(nullptr); }

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
        const int rc = fd_ >= 0 ? ::fdatasync(fd_) : -1;
        const int err = rc == 0 ? 0 : (fd_ >= 0 ? errno : EBADF);
        lock.lock();
        ++completed_;
        if (err) failedErrno_ = err;
    }
}

bool FileSyncer::finish(QString* error) {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pending_ = true;
            stopping_ = true;
        }
        cv_.notify_one();
        thread_.join();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (failedErrno_ && error) *error = QString::fromLocal8Bit(std::strerror(failedErrno_));
    return failedErrno_ == 0;
}

int FileSyncer::completedSyncs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return completed_;
}

}  // namespace mervo
