#include "measurement/reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace mervo {

namespace {

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

void setError(QString* error, const QString& text) {
    if (error) *error = text;
}

}  // namespace


MeasurementReader::~MeasurementReader() { close(); }

void MeasurementReader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool MeasurementReader::open(const QString& path, QString* error) {
    close();
    info_ = MeasurementInfo{};
    const QByteArray native = QFile::encodeName(path);
    fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        setError(error, QStringLiteral("%1: %2").arg(path, errnoText(errno)));
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        setError(error, QStringLiteral("%1 不是普通文件").arg(path));
        close();
        return false;
    }
    info_.bytes = st.st_size;
    if (info_.bytes < kRecordBytes * kHeaderRecords) {
        setError(error, QStringLiteral("%1 只有 %2 字节，不足以容纳文件头，不是测量数据文件").arg(path).arg(info_.bytes));
        close();
        return false;
    }
    info_.SampleCount = sampleCountFromLength(info_.bytes);
    float h[kHeaderRecords];
    if (!readRecords(1, kHeaderRecords, h, error)) {
        close();
        return false;
    }
    info_.header.StartTime = h[0];
    info_.header.TotalTime = h[1];
    for (int i = 0; i < 7; ++i) info_.header.nameplate[i] = h[2 + i];
    info_.headerProblem = headerProblem(h);
    if (!info_.headerProblem.isEmpty()) {
        setError(error, QStringLiteral("%1 不是测量数据文件：文件头%2。").arg(path, info_.headerProblem));
        close();
        return false;
    }
    for (int i = 0; i < 3; ++i) info_.header.channels[i] = static_cast<int16_t>(h[9 + i]);

    const int64_t records = info_.bytes / kRecordBytes;
    const int64_t body = records - kHeaderRecords - kTrailerRecords;
    info_.complete = info_.bytes % kRecordBytes == 0 && body >= 0 && body % kSampleRecords == 0;
    if (info_.complete) {
        info_.wholeSamples = body / kSampleRecords;
        float t[kTrailerRecords];
        if (!readRecords(kHeaderRecords + kSampleRecords * info_.wholeSamples + 1, kTrailerRecords, t, error)) {
            close();
            return false;
        }
        std::array<float, 12> mx{}, mn{};
        std::memcpy(mx.data(), t, sizeof(float) * 12);
        std::memcpy(mn.data(), t + 12, sizeof(float) * 12);
        info_.maxima = mx;
        info_.minima = mn;
    } else {
        // Without a trailer (an interrupted receive) every whole sample behind the header still counts.
        info_.wholeSamples = (records - kHeaderRecords) / kSampleRecords;
    }
    return true;
}

bool MeasurementReader::readRecords(int64_t first, int64_t count, float* out, QString* error) const {
    if (fd_ < 0 || first < 1 || count < 0 || recordOffset(first + count) > info_.bytes) {
        setError(error, QStringLiteral("records %1 to %2 lie outside the file").arg(first).arg(first + count - 1));
        return false;
    }
    std::vector<unsigned char> buf(static_cast<size_t>(count) * kRecordBytes);
    size_t done = 0;
    while (done < buf.size()) {
        const ssize_t r = ::pread(fd_, buf.data() + done, buf.size() - done,
                                  recordOffset(first) + static_cast<int64_t>(done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            setError(error, r < 0 ? errnoText(errno) : QStringLiteral("file ended early"));
            return false;
        }
        done += static_cast<size_t>(r);
    }
    decodeRecords(buf.data(), static_cast<size_t>(count), out);
    return true;
}

bool MeasurementReader::readSample(int64_t k, float out[9], QString* error) const {
    if (k < 0 || k >= info_.wholeSamples) {
        setError(error, QStringLiteral("sample %1 is not in the file (it holds %2)").arg(k + 1).arg(info_.wholeSamples));
        return false;
    }
    return readRecords(kHeaderRecords + 1 + kSampleRecords * k, kSampleRecords, out, error);
}

// ---------------------------------------------------------------------------------------------------------
// Sequential samples

namespace {
// Whole samples per read: about 64 KiB.
constexpr size_t kStreamBytes = static_cast<size_t>(kSampleRecords * kRecordBytes) * 1820;
}  // namespace

SampleStream::~SampleStream() { close(); }

void SampleStream::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buf_.clear();
    buf_.shrink_to_fit();
    pos_ = end_ = 0;
}

bool SampleStream::open(const QString& path, int64_t samples, QString* error) {
    close();
    path_ = path;
    samples_ = samples < 0 ? 0 : samples;
    read_ = 0;
    offset_ = recordOffset(kHeaderRecords + 1);
    const QByteArray native = QFile::encodeName(path);
    fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        setError(error, QStringLiteral("%1: %2").arg(path, errnoText(errno)));
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || st.st_size < offset_ + samples_ * kSampleRecords * kRecordBytes) {
        setError(error, QStringLiteral("%1: shorter than its %2 samples").arg(path).arg(samples_));
        close();
        return false;
    }
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    buf_.resize(kStreamBytes);
    return true;
}

bool SampleStream::fill(QString* error) {
    // Keep the tail of a sample cut by the last read, then fetch no further than the last sample.
    const size_t keep = end_ - pos_;
    std::memmove(buf_.data(), buf_.data() + pos_, keep);
    pos_ = 0;
    end_ = keep;
    const int64_t last = recordOffset(kHeaderRecords + 1) + samples_ * kSampleRecords * kRecordBytes;
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buf_.size() - end_), last - offset_));
    for (;;) {
        const ssize_t r = want > 0 ? ::pread(fd_, buf_.data() + end_, want, offset_) : 0;
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            setError(error, r < 0 ? QStringLiteral("%1: %2").arg(path_, errnoText(errno))
                                  : QStringLiteral("%1: file ended early").arg(path_));
            return false;
        }
        end_ += static_cast<size_t>(r);
        offset_ += r;
        return true;
    }
}

bool SampleStream::next(float out[9], QString* error) {
    if (error) error->clear();
    if (fd_ < 0 || read_ >= samples_) return false;
    constexpr size_t sampleBytes = kSampleRecords * kRecordBytes;
    while (end_ - pos_ < sampleBytes)
        if (!fill(error)) return false;
    decodeRecords(buf_.data() + pos_, kSampleRecords, out);
    pos_ += sampleBytes;
    ++read_;
    return true;
}

}  // namespace mervo
