#include "acquisition/working_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace mervo {

namespace {

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

void setError(QString* error, const QString& text) {
    if (error) *error = text;
}

}  // namespace

bool FileHeader::motorDataValid() const {
    for (float v : nameplate)
        if (v == 0.0f) return false;
    return true;
}

QString headerProblem(const float h[12]) {
    if (!(h[0] >= 0.0f && h[0] <= 86400.0f))
        return QStringLiteral("第 1 项（开始时间）为 %1，不在 0～86400 秒之间").arg(double(h[0]));
    if (!(h[1] >= 0.0f) || std::isinf(h[1]))
        return QStringLiteral("第 2 项（测量时长）为 %1，不是有效的时长").arg(double(h[1]));
    for (int i = 2; i < 9; ++i)
        if (!std::isfinite(h[i])) return QStringLiteral("第 %1 项（电机铭牌数据）不是有效的数值").arg(i + 1);
    for (int i = 9; i < 12; ++i)
        if (h[i] != 0.0f && h[i] != 1.0f && h[i] != -1.0f)
            return QStringLiteral("第 %1 项（通道标志）为 %2，应为 0 或 1").arg(i + 1).arg(double(h[i]));
    return {};
}

float sampleCountFromLength(int64_t bytes) {
    // In double: a float does not hold the byte count of a day-long file exactly, which made it fractional.
    return static_cast<float>((static_cast<double>(bytes) / 4.0 - 36.0) / 9.0);
}

void encodeRecords(const float* values, size_t n, unsigned char* out) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
}

void decodeRecords(const unsigned char* in, size_t n, float* values) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // The file's byte order is the host's: a copy is the whole conversion, and a long pass reads millions.
    std::memcpy(values, in, n * sizeof(float));
#else
    for (size_t i = 0; i < n; ++i) {
        uint32_t bits = 0;
        for (int b = 0; b < 4; ++b) bits |= static_cast<uint32_t>(in[4 * i + b]) << (8 * b);
        std::memcpy(&values[i], &bits, 4);
    }
#endif
}

// ---------------------------------------------------------------------------------------------------------
// Writer

WorkingFileWriter::~WorkingFileWriter() { close(); }

bool WorkingFileWriter::create(const QString& path, const FileHeader& header, QString* error) {
    close();
    const QByteArray native = QFile::encodeName(path);
    fd_ = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        setError(error, QStringLiteral("%1: %2").arg(path, errnoText(errno)));
        return false;
    }
    path_ = path;
    end_ = 0;
    samples_ = 0;
    float records[kHeaderRecords];
    records[0] = header.StartTime;
    records[1] = header.TotalTime;
    for (int i = 0; i < 7; ++i) records[2 + i] = header.nameplate[i];
    for (int i = 0; i < 3; ++i) records[9 + i] = static_cast<float>(header.channels[i]);
    if (!append(records, kHeaderRecords, error)) {
        close();
        return false;
    }
    return true;
}

bool WorkingFileWriter::writeAt(int64_t offset, const void* data, size_t n, QString* error) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::pwrite(fd_, p, n, offset);
        if (w < 0) {
            if (errno == EINTR) continue;
            setError(error, QStringLiteral("%1: %2").arg(path_, errnoText(errno)));
            return false;
        }
        if (w == 0) {
            setError(error, QStringLiteral("%1: %2").arg(path_, errnoText(ENOSPC)));
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
        offset += w;
    }
    return true;
}

bool WorkingFileWriter::append(const float* values, size_t n, QString* error) {
    if (fd_ < 0) {
        setError(error, QStringLiteral("%1: file not open").arg(path_));
        return false;
    }
    unsigned char buf[kRecordBytes * kTrailerRecords];
    encodeRecords(values, n, buf);
    if (!writeAt(end_, buf, n * kRecordBytes, error)) return false;
    end_ += static_cast<int64_t>(n) * kRecordBytes;
    return true;
}

bool WorkingFileWriter::appendSample(const float values[9], QString* error) {
    if (!append(values, kSampleRecords, error)) return false;
    ++samples_;
    return true;
}

bool WorkingFileWriter::appendTrailer(const std::array<float, 12>& maxima, const std::array<float, 12>& minima,
                                      QString* error) {
    float records[kTrailerRecords];
    std::memcpy(records, maxima.data(), sizeof(float) * 12);
    std::memcpy(records + 12, minima.data(), sizeof(float) * 12);
    return append(records, kTrailerRecords, error);
}

bool WorkingFileWriter::writeRecord(int64_t recordNo, float value, QString* error) {
    if (fd_ < 0) {
        setError(error, QStringLiteral("%1: file not open").arg(path_));
        return false;
    }
    unsigned char buf[kRecordBytes];
    encodeRecords(&value, 1, buf);
    return writeAt(recordOffset(recordNo), buf, kRecordBytes, error);
}

bool WorkingFileWriter::sync(QString* error) {
    if (fd_ < 0) return true;
    if (::fdatasync(fd_) != 0) {
        setError(error, QStringLiteral("%1: %2").arg(path_, errnoText(errno)));
        return false;
    }
    return true;
}

void WorkingFileWriter::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// ---------------------------------------------------------------------------------------------------------
// Reader

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
