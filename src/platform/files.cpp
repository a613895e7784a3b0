#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace mervo {

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

Status beingWritten(const QString& path) {
    return Status::failure(QStringLiteral("文件 %1 正在记录中（一个接收正在写入它）").arg(path),
                           QStringLiteral("正在记录中"), kFileBeingWritten);
}

class PosixFile : public DurableFile {
public:
    PosixFile(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    const QString& path() const override { return path_; }

    Status writeAt(int64_t offset, const void* data, size_t n) override {
        const char* p = static_cast<const char*>(data);
        while (n > 0) {
            const ssize_t w = ::pwrite(fd_, p, n, offset);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0)
                return systemFailure(QStringLiteral("文件 %1 写入失败").arg(path_), w < 0 ? errno : ENOSPC);
            p += w;
            n -= static_cast<size_t>(w);
            offset += w;
        }
        return {};
    }
    Status truncate(int64_t length) override {
        while (::ftruncate(fd_, length) != 0) {
            if (errno != EINTR) return systemFailure(QStringLiteral("文件 %1 无法截短").arg(path_), errno);
        }
        return {};
    }
    Status sync() override {
        // fdatasync also writes the length, which is all the metadata a reader of the file needs.
        if (::fdatasync(fd_) != 0) return systemFailure(QStringLiteral("文件 %1 无法写入磁盘").arg(path_), errno);
        return {};
    }
    void startWriteback(int64_t offset, int64_t n) override {
#ifdef SYNC_FILE_RANGE_WRITE
        if (fd_ >= 0) (void)::sync_file_range(fd_, offset, n, SYNC_FILE_RANGE_WRITE);
#else
        (void)offset;
        (void)n;
#endif
    }
    Status setModificationTime(const QDateTime& when) override {
        const qint64 msecs = when.toMSecsSinceEpoch();
        struct timespec times[2] = {{0, UTIME_OMIT}, {msecs / 1000, (msecs % 1000) * 1000000}};
        if (::futimens(fd_, times) != 0)
            return systemFailure(QStringLiteral("文件 %1 无法设定修改时间").arg(path_), errno);
        return {};
    }
    Status close() override {
        if (fd_ < 0) return {};
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return systemFailure(QStringLiteral("文件 %1 写入失败").arg(path_), errno);
        return {};
    }

private:
    int fd_;
    QString path_;
};

class PosixFileSystem : public FileSystem {
public:
    Result<std::unique_ptr<DurableFile>> create(const QString& path) override {
        // Emptied only once the lock is ours: a second writer must not wipe what the first is recording.
        const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return systemFailure(QStringLiteral("文件 %1 无法建立").arg(path), errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            return err == EWOULDBLOCK ? beingWritten(path)
                                      : systemFailure(QStringLiteral("文件 %1 无法加锁").arg(path), err);
        }
        while (::ftruncate(fd, 0) != 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            return systemFailure(QStringLiteral("文件 %1 无法清空").arg(path), err);
        }
        return std::unique_ptr<DurableFile>(std::make_unique<PosixFile>(fd, path));
    }

    Result<std::unique_ptr<DurableFile>> createBeside(const QString& target, const QString& tag) override {
        const QFileInfo fi(target);
        QByteArray name = native(QStringLiteral("%1/.%2.%3-XXXXXX").arg(fi.absolutePath(), fi.fileName(), tag));
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return systemFailure(QStringLiteral("文件夹 %1 中无法建立新文件").arg(fi.absolutePath()), errno);
        // Held while it is written: a sweep of temporaries left by killed writers passes over this one.
        (void)::flock(fd, LOCK_EX | LOCK_NB);
        // mkostemp makes the file private; the new version keeps what the old one allowed.
        struct stat st {};
        const mode_t mode = ::stat(native(target).constData(), &st) == 0 ? (st.st_mode & 07777) : 0644;
        ::fchmod(fd, mode);
        return std::unique_ptr<DurableFile>(std::make_unique<PosixFile>(fd, QFile::decodeName(name)));
    }

    Status rename(const QString& from, const QString& to) override {
        if (::rename(native(from).constData(), native(to).constData()) != 0)
            return systemFailure(QStringLiteral("文件 %1 无法替换").arg(to), errno);
        return {};
    }

    Status syncDirectoryOf(const QString& path) override {
        const QString dir = QFileInfo(path).absolutePath();
        const int fd = ::open(native(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return systemFailure(QStringLiteral("文件夹 %1 无法打开").arg(dir), errno);
        const int rc = ::fsync(fd);
        const int err = errno;
        ::close(fd);
        if (rc != 0) return systemFailure(QStringLiteral("文件夹 %1 无法写入磁盘").arg(dir), err);
        return {};
    }

    void remove(const QString& path) override { ::unlink(native(path).constData()); }

    Result<int64_t> freeBytes(const QString& path) override {
        struct statvfs fs {};
        if (::statvfs(native(path).constData(), &fs) != 0)
            return systemFailure(QStringLiteral("无法得知 %1 所在磁盘的剩余空间").arg(path), errno);
        // f_bavail, not f_bfree: the blocks kept for root are no room for the operator.
        return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
    }

    Status read(const ReadOnlyFile& file, int64_t offset, void* out, size_t n) override {
        return file.readAt(offset, out, n);
    }
};

}  // namespace

Status systemFailure(const QString& sentence, int err) {
    const QString reason = QString::fromLocal8Bit(std::strerror(err));
    return Status::failure(QStringLiteral("%1（%2）").arg(sentence, reason), reason);
}

FileSystem& systemFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

WriterLock::~WriterLock() {
    if (fd_ >= 0) ::close(fd_);
}

WriterLock& WriterLock::operator=(WriterLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

Result<WriterLock> WriterLock::takeUnlessRecording(const QString& path, const QString& whileRecording) {
    Result<WriterLock> lock = take(path);
    if (lock || lock.status().code() != kFileBeingWritten) return lock;
    return Status::failure(QStringLiteral("数据文件 %1 正在记录中：%2").arg(path, whileRecording), lock.reason(),
                           kFileBeingWritten);
}

Result<WriterLock> WriterLock::take(const QString& path) {
    WriterLock lock;
    // Read-only and non-blocking: taking the lock neither changes the file nor waits on a FIFO.
    lock.fd_ = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (lock.fd_ < 0) {
        if (errno == ENOENT) return lock;
        return systemFailure(QStringLiteral("文件 %1 无法打开").arg(path), errno);
    }
    if (::flock(lock.fd_, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK) return beingWritten(path);
        return systemFailure(QStringLiteral("文件 %1 无法加锁").arg(path), err);
    }
    return lock;
}

bool WriterLock::heldElsewhere(const QString& path) {
    const Result<WriterLock> lock = take(path);
    return !lock && lock.status().code() == kFileBeingWritten;
}

bool sameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    if (::stat(native(a).constData(), &sa) != 0 || ::stat(native(b).constData(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// ---------------------------------------------------------------------------------------------------------

ReadOnlyFile::~ReadOnlyFile() { close(); }

void ReadOnlyFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

Status ReadOnlyFile::open(const QString& path) {
    close();
    path_ = path;
    // Non-blocking, so a FIFO without a writer cannot hang the open; the check below refuses it anyway.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return systemFailure(QStringLiteral("文件 %1 无法打开").arg(path), errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return systemFailure(QStringLiteral("文件 %1 无法读取").arg(path), err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::failure(QStringLiteral("%1 不是普通文件").arg(path), QStringLiteral("不是普通文件"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    size_ = st.st_size;
    return {};
}

Status ReadOnlyFile::readAt(int64_t offset, void* out, size_t n) const {
    char* p = static_cast<char*>(out);
    while (n > 0) {
        const ssize_t r = fd_ >= 0 ? ::pread(fd_, p, n, offset) : -1;
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return systemFailure(QStringLiteral("文件 %1 读取出错").arg(path_), fd_ >= 0 ? errno : EBADF);
        if (r == 0)
            return Status::failure(QStringLiteral("文件 %1 在第 %2 字节处提前结束").arg(path_).arg(offset),
                                   QStringLiteral("文件提前结束"));
        p += r;
        n -= static_cast<size_t>(r);
        offset += r;
    }
    return {};
}

void ReadOnlyFile::adviseSequential() const {
    if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

}  // namespace mervo
