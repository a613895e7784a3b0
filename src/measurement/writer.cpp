#include "measurement/writer.h"

#include <cstring>

namespace mervo {

Status WorkingFileWriter::create(const QString& path, const FileHeader& header) {
    (void)close();
    auto created = fs_.create(path);
    if (!created) return created.status();
    file_ = std::move(*created);
    end_ = 0;
    samples_ = 0;
    float records[kHeaderRecords];
    records[0] = header.StartTime;
    records[1] = header.TotalTime;
    for (int i = 0; i < 7; ++i) records[2 + i] = header.nameplate[i];
    for (int i = 0; i < 3; ++i) records[9 + i] = static_cast<float>(header.channels[i]);
    if (Status s = append(records, kHeaderRecords); !s) {
        // A start that cannot even write the header (a full disk) leaves nothing behind: an empty file of this
        // name would stand in the way of the next receive to it.
        (void)close();
        fs_.remove(path);
        return s;
    }
    return {};
}

Status WorkingFileWriter::append(const float* values, size_t n) {
    if (!file_) return Status::failure(QStringLiteral("数据文件没有打开"));
    // The most records written at once: the trailer; the header and a sample are fewer.
    static_assert(kTrailerRecords >= kHeaderRecords && kTrailerRecords >= kSampleRecords);
    unsigned char buf[kRecordBytes * kTrailerRecords];
    if (n > kTrailerRecords)
        return Status::failure(QStringLiteral("数据文件写入失败（一次写入 %1 个记录，最多 %2 个）").arg(n).arg(kTrailerRecords));
    encodeRecords(values, n, buf);
    if (Status s = file_->writeAt(end_, buf, n * kRecordBytes); !s) {
        // A write that failed part way (a full disk) leaves its first bytes behind; cut them off, so the file's
        // length never passes part of a sample or of the trailer off as data.
        (void)file_->truncate(end_);
        return s;
    }
    end_ += static_cast<int64_t>(n) * kRecordBytes;
    return {};
}

Status WorkingFileWriter::appendSample(const float values[9]) {
    if (Status s = append(values, kSampleRecords); !s) return s;
    ++samples_;
    return {};
}

Status WorkingFileWriter::appendTrailer(const std::array<float, 12>& maxima, const std::array<float, 12>& minima) {
    float records[kTrailerRecords];
    std::memcpy(records, maxima.data(), sizeof(float) * 12);
    std::memcpy(records + 12, minima.data(), sizeof(float) * 12);
    return append(records, kTrailerRecords);
}

Status WorkingFileWriter::writeRecord(int64_t recordNo, float value) {
    if (!file_) return Status::failure(QStringLiteral("数据文件没有打开"));
    unsigned char buf[kRecordBytes];
    encodeRecords(&value, 1, buf);
    return file_->writeAt(recordOffset(recordNo), buf, kRecordBytes);
}

Status WorkingFileWriter::sync() { return file_ ? file_->sync() : Status(); }

Status WorkingFileWriter::close() {
    if (!file_) return {};
    Status s = file_->close();
    file_.reset();
    return s;
}

}  // namespace mervo
