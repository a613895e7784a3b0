// Pushes a file's data to the disk on a thread of its own, so a slow disk never stalls the caller.
#pragma once

#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/files.h"

namespace mervo {

class FileSyncer {
public:
    // The file must stay open until finish() has returned.
    explicit FileSyncer(DurableFile& file);
    ~FileSyncer();
    FileSyncer(const FileSyncer&) = delete;
    FileSyncer& operator=(const FileSyncer&) = delete;

    void request();  // returns at once; the sync runs soon after
    // Runs a last sync, waits for it and ends the thread. The first failure of any sync, or success.
    Status finish();
    int completedSyncs() const;

private:
    void run();

    DurableFile& file_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool pending_ = false;
    bool stopping_ = false;
    int completed_ = 0;
    Status failure_;
    std::thread thread_;
};

}  // namespace mervo
