// The system's files behind a log of every write, sync, truncation, rename, directory sync and read, in order, for
// tests that check when data reaches the disk; any one step can be made to fail, and the disk to look full.
#pragma once

#include <QString>
#include <mutex>
#include <vector>

#include "platform/files.h"

namespace mervo {

class RecordingFileSystem : public FileSystem {
public:
    enum class Op { Create, Write, Truncate, Sync, Close, Rename, SyncDirectory, Remove, Read, SetTime };
    struct Step {
        Op op;
        QString path;  // the file, or for a rename its new name
        int64_t offset = 0, bytes = 0;  // of a write or read; a truncation's length in `offset`
        QString from;  // a rename's old name
    };

    explicit RecordingFileSystem(FileSystem& inner = systemFileSystem()) : inner_(inner) {}

    // The `nth` step of kind `op` from now (1 = the next one) fails with "No space left on device".
    void failAt(Op op, int nth);
    // From now on the disk has only `bytes` free (a negative number: the real disk's figure again).
    void setFreeBytes(int64_t bytes);
    std::vector<Step> steps() const;
    int count(Op op) const;

    Result<std::unique_ptr<DurableFile>> create(const QString& path) override;
    Result<std::unique_ptr<DurableFile>> createBeside(const QString& target, const QString& tag) override;
    Status rename(const QString& from, const QString& to) override;
    Status syncDirectoryOf(const QString& path) override;
    void remove(const QString& path) override;
    Result<int64_t> freeBytes(const QString& path) override;
    Status read(const ReadOnlyFile& file, int64_t offset, void* out, size_t n) override;

    // Logs a step; a failure when it is the one set to fail.
    Status record(const Step& step);

private:
    class File;
    FileSystem& inner_;
    mutable std::mutex mutex_;
    std::vector<Step> steps_;
    Op failOp_ = Op::Create;
    int failIn_ = 0;  // 0: nothing set to fail
    int64_t freeBytes_ = -1;
};

}  // namespace mervo
