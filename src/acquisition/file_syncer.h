// Pushes a file's data to the disk on a thread of its own, so a slow disk never stalls the caller.
#pragma once

#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace mervo {

class FileSyncer {
public:
    explicit FileSyncer(int fd);  // keeps a duplicate of fd, so the caller may close its own
    ~FileSyncer();
    FileSyncer(const FileSyncer&) = delete;
    FileSyncer& operator=(const FileSyncer&) = delete;

    void request();  // returns at once; the sync runs soon after
    // Runs a last sync, waits for it and ends the thread. Returns false if any sync failed.
    bool finish(QString* error);
    int completedSyncs() const;

private:
    void run();

    int fd_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool pending_ = false;
    bool stopping_ = false;
    int completed_ = 0;
    int failedErrno_ = 0;
    std::thread thread_;
};

}  // namespace mervo
