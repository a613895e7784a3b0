#include "measurement/recovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "measurement/sample_math.h"
#include "measurement/file_layout.h"

namespace mervo {

namespace {

constexpr int64_t kHeaderBytes = kRecordBytes * kHeaderRecords;
constexpr int64_t kSampleBytes = kRecordBytes * kSampleRecords;

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

Diagnosis fromLength(const QString& path, int64_t bytes) {
    Diagnosis d;
    d.bytes = bytes;
    if (bytes < kHeaderBytes) {
        d.condition = FileCondition::TooShort;
        d.description = QStringLiteral("数据文件 %1 只有 %2 字节，不足以容纳文件头，不是可以恢复的测量数据文件。")
                            .arg(path)
                            .arg(bytes);
        return d;
    }
    const int64_t body = bytes - kHeaderBytes;
    const int64_t trailerBytes = kRecordBytes * kTrailerRecords;
    if (body >= trailerBytes && (body - trailerBytes) % kSampleBytes == 0) {
        d.condition = FileCondition::Complete;
        d.samples = (body - trailerBytes) / kSampleBytes;
        d.description = QStringLiteral("数据文件 %1 完整，其中有 %2 组数据。").arg(path).arg(d.samples);
        return d;
    }
    d.samples = body / kSampleBytes;
    d.partialBytes = body % kSampleBytes;
    if (d.partialBytes == 0) {
        d.condition = FileCondition::MissingTrailer;
        d.description = QStringLiteral("数据文件 %1 没有正常结束（接收被中断）：其中有 %2 组完整的数据，"
                                       "缺少最大值和最小值记录。")
                            .arg(path)
                            .arg(d.samples);
    } else {
        d.condition = FileCondition::PartialSample;
        d.description = QStringLiteral("数据文件 %1 没有正常结束（接收被中断）：其中有 %2 组完整的数据，"
                                       "最后一组数据不完整（只有 %3 字节），缺少最大值和最小值记录。")
                            .arg(path)
                            .arg(d.samples)
                            .arg(d.partialBytes);
    }
    return d;
}

Diagnosis unreadable(const QString& path, const QString& why) {
    Diagnosis d;
    d.condition = FileCondition::Unreadable;
    d.description = QStringLiteral("数据文件 %1 无法读取（%2）。").arg(path, why);
    return d;
}

bool readFully(int fd, int64_t offset, unsigned char* out, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (r == 0) errno = EIO;  // the file shrank under us
            return false;
        }
        done += static_cast<size_t>(r);
    }
    return true;
}

bool writeFully(int fd, const unsigned char* data, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, data + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    return true;
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// The condition of an open regular file: by its length, then by its header, so that a file of another kind is
// never taken for an interrupted recording and rewritten.
Diagnosis examine(int fd, const QString& path, int64_t bytes) {
    Diagnosis d = fromLength(path, bytes);
    if (d.condition == FileCondition::TooShort) return d;
    unsigned char header[kHeaderBytes];
    if (!readFully(fd, 0, header, sizeof header)) return unreadable(path, errnoText(errno));
    float h[kHeaderRecords];
    decodeRecords(header, kHeaderRecords, h);
    const QString problem = headerProblem(h);
    if (!problem.isEmpty()) {
        d.condition = FileCondition::NotMeasurement;
        d.samples = 0;
        d.partialBytes = 0;
        d.description = QStringLiteral("数据文件 %1 不是测量数据文件：文件头%2。").arg(path, problem);
    }
    return d;
}

}  // namespace

Diagnosis diagnose(const QString& path) {
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    Fd f;
    f.fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0) return unreadable(path, errnoText(errno));
    if (::fstat(f.fd, &st) != 0) return unreadable(path, errnoText(errno));
    if (!S_ISREG(st.st_mode)) return unreadable(path, QStringLiteral("不是普通文件"));
    return examine(f.fd, path, st.st_size);
}

bool recover(const QString& path, RecoveryReport* report, QString* error) {
    RecoveryReport r;
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        if (report) *report = r;
        return false;
    };
    const QByteArray native = QFile::encodeName(path);
    Fd in;
    in.fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) {
        r.found = unreadable(path, errnoText(errno));
        return fail(r.found.description);
    }
    struct stat st {};
    if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        r.found = unreadable(path, S_ISREG(st.st_mode) ? errnoText(errno) : QStringLiteral("不是普通文件"));
        return fail(r.found.description);
    }
    r.found = examine(in.fd, path, st.st_size);
    r.samples = r.found.samples;
    if (r.found.condition == FileCondition::Complete) {
        if (report) *report = r;
        return true;
    }
    if (!r.found.recoverable()) return fail(r.found.description);
    r.droppedBytes = r.found.partialBytes;

    unsigned char header[kHeaderBytes];
    if (!readFully(in.fd, 0, header, sizeof header))
        return fail(QStringLiteral("%1: %2").arg(path, errnoText(errno)));
    float h[kHeaderRecords];
    decodeRecords(header, kHeaderRecords, h);
    ExtremesScan scan(h[1], r.samples);

    // The new file beside the original, so the rename cannot cross file systems. One left by a recovery that
    // was itself interrupted is only a partial copy; it goes first.
    const QFileInfo fi(path);
    {
        QDir here(fi.absolutePath());
        const QStringList stale = here.entryList({QStringLiteral(".%1.recover-??????").arg(fi.fileName())},
                                                 QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : stale) here.remove(name);
    }
    QByteArray tmpl = QFile::encodeName(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() +
                                        QStringLiteral(".recover-XXXXXX"));
    Fd out;
    out.fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (out.fd < 0) return fail(QStringLiteral("%1: %2").arg(fi.absolutePath(), errnoText(errno)));
    const QByteArray tmpPath = tmpl;
    const auto failWrite = [&](const QString& why) {
        ::unlink(tmpPath.constData());
        return fail(why);
    };
    const auto writeError = [&] { return QStringLiteral("%1: %2").arg(QFile::decodeName(tmpPath), errnoText(errno)); };
    ::fchmod(out.fd, st.st_mode & 07777);

    if (!writeFully(out.fd, header, sizeof header)) return failWrite(writeError());
    constexpr int64_t kChunkSamples = 4096;
    std::vector<unsigned char> buf(static_cast<size_t>(kChunkSamples * kSampleBytes));
    float v[kSampleRecords];
    for (int64_t k = 0; k < r.samples;) {
        const int64_t n = std::min(kChunkSamples, r.samples - k);
        const size_t bytes = static_cast<size_t>(n * kSampleBytes);
        if (!readFully(in.fd, kHeaderBytes + k * kSampleBytes, buf.data(), bytes))
            return failWrite(QStringLiteral("%1: %2").arg(path, errnoText(errno)));
        // The samples go out as read, bit for bit; only the scan looks at their values.
        for (int64_t j = 0; j < n; ++j) {
            decodeRecords(buf.data() + j * kSampleBytes, kSampleRecords, v);
            scan.add(v);
        }
        if (!writeFully(out.fd, buf.data(), bytes)) return failWrite(writeError());
        k += n;
    }
    r.maxima = scan.live().LiveMax;
    r.minima = scan.live().LiveMin;
    unsigned char trailer[kRecordBytes * kTrailerRecords];
    encodeRecords(r.maxima.data(), 12, trailer);
    encodeRecords(r.minima.data(), 12, trailer + kRecordBytes * 12);
    if (!writeFully(out.fd, trailer, sizeof trailer)) return failWrite(writeError());
    if (::fsync(out.fd) != 0) return failWrite(writeError());
    if (::close(out.fd) != 0) {
        out.fd = -1;
        return failWrite(writeError());
    }
    out.fd = -1;
    if (::rename(tmpPath.constData(), native.constData()) != 0)
        return failWrite(QStringLiteral("%1: %2").arg(path, errnoText(errno)));
    const int dir = ::open(QFile::encodeName(fi.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    r.recovered = true;
    if (report) *report = r;
    return true;
}

}  // namespace mervo
