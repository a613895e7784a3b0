// Files as the program needs them from the operating system: a regular file read by offset, and the durable-file
// seam through which every file the program writes reaches the disk (write, sync, rename, directory sync) and a
// file it copies is read.
// Tests put a recording file system behind the seam to see the order of those steps and to make one of them fail.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "shared/result.h"

namespace mervo {

// A regular file opened for reading. Anything else (a folder, a FIFO, a device, which could block the program) is
// refused when it is opened.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    Status open(const QString& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const QString& path() const { return path_; }
    int64_t size() const { return size_; }  // as it was when opened
    // Exactly `n` bytes from `offset`; a file that ends sooner (it shrank since it was opened) is an error.
    Status readAt(int64_t offset, void* out, size_t n) const;
    // The file will be read once from start to end: the system may read ahead.
    void adviseSequential() const;

private:
    int fd_ = -1;
    int64_t size_ = 0;
    QString path_;
};

// A file being written. Its bytes reach the operating system when a write returns (a killed program loses none
// of them) and the disk when sync() returns (a power cut loses none of them).
class DurableFile {
public:
    virtual ~DurableFile() = default;
    virtual const QString& path() const = 0;
    // All `n` bytes at `offset`, or an error.
    virtual Status writeAt(int64_t offset, const void* data, size_t n) = 0;
    virtual Status truncate(int64_t length) = 0;
    // Data and length to the disk. May run on another thread while writes go on.
    virtual Status sync() = 0;
    // Starts sending the bytes written at [offset, offset + n) to the disk without waiting for them, so that a
    // long write leaves little for sync() to wait for. A hint: nothing depends on it.
    virtual void startWriteback(int64_t offset, int64_t n) {
        (void)offset;
        (void)n;
    }
    // Gives the file the modification time `when` (a copy keeps its original's date this way).
    virtual Status setModificationTime(const QDateTime& when) = 0;
    virtual Status close() = 0;
};

// The failure code of a file that another writer holds: a receive is recording it.
constexpr int kFileBeingWritten = 100;

// The single-writer lock of a measurement file. A receive holds it on its file for its whole run (create() takes
// it), and recovery and Save take it while they replace a file, so no two writers ever meet. It goes with the
// process that holds it: a killed receive never leaves it behind.
class WriterLock {
public:
    WriterLock() = default;
    ~WriterLock();
    WriterLock(WriterLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    WriterLock& operator=(WriterLock&& other) noexcept;
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Takes the lock of the file at `path`, failing with kFileBeingWritten while another writer holds it. A file
    // that does not exist has nothing to lock: success, holding nothing.
    static Result<WriterLock> take(const QString& path);
    // The same for a writer that must wait for a receive: while one records the file, the failure says
    // "数据文件 <path> 正在记录中：<whileRecording>".
    static Result<WriterLock> takeUnlessRecording(const QString& path, const QString& whileRecording);
    // Whether another writer holds the lock of the file at `path` right now.
    static bool heldElsewhere(const QString& path);

private:
    int fd_ = -1;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Creates the file, or empties an existing one, and holds its writer lock until the file is closed. A file
    // another writer holds is refused with kFileBeingWritten and left as it is.
    virtual Result<std::unique_ptr<DurableFile>> create(const QString& path) = 0;
    // A new hidden file beside `target`, named ".NAME.<tag>-XXXXXX", with the permissions `target` has (or those
    // of a new file), so that it can later be renamed over `target` within one directory.
    virtual Result<std::unique_ptr<DurableFile>> createBeside(const QString& target, const QString& tag) = 0;
    // Puts `from` in the place of `to` in one step; `to` may exist.
    virtual Status rename(const QString& from, const QString& to) = 0;
    // Makes the names in the directory holding `path` durable (after a create or rename).
    virtual Status syncDirectoryOf(const QString& path) = 0;
    virtual void remove(const QString& path) = 0;
    // The bytes this user may still write on the file system that holds `path` (a file or a folder).
    virtual Result<int64_t> freeBytes(const QString& path) = 0;
    // Exactly `n` bytes from `offset` of a file opened for reading.
    virtual Status read(const ReadOnlyFile& file, int64_t offset, void* out, size_t n) = 0;
};

// The operating system's files.
FileSystem& systemFileSystem();

// A failure told as `sentence` with the system's words for the error number `err` in brackets.
Status systemFailure(const QString& sentence, int err);

// Whether two paths name one file (the same file by identity: a link, another spelling of the path, a hard link).
// False when either does not exist.
bool sameFile(const QString& a, const QString& b);

}  // namespace mervo
