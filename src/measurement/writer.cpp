#include "measurement/writer.h"

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

}  // namespace mervo
