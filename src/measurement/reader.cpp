#include "measurement/reader.h"

#include <algorithm>
#include <cstring>

namespace mervo {

namespace {
// Whole samples per read: about 64 KiB.
constexpr size_t kStreamBytes = static_cast<size_t>(kSampleRecords * kRecordBytes) * 1820;
}  // namespace

Status MeasurementReader::open(const QString& path) {
    info_ = MeasurementInfo{};
    if (Status s = file_.open(path); !s) return s;
    info_.bytes = file_.size();
    info_.shape = shapeOfLength(info_.bytes);
    if (info_.shape.condition == FileCondition::TooShort) {
        close();
        return Status::failure(
            QStringLiteral("%1 只有 %2 字节，不足以容纳文件头，不是测量数据文件").arg(path).arg(info_.bytes));
    }
    info_.SampleCount = sampleCountFromLength(info_.bytes);
    float h[kHeaderRecords];
    if (Status s = readRecords(1, kHeaderRecords, h); !s) {
        close();
        return s;
    }
    info_.header.StartTime = h[0];
    info_.header.TotalTime = h[1];
    for (int i = 0; i < 7; ++i) info_.header.nameplate[i] = h[2 + i];
    info_.headerProblem = headerProblem(h);
    if (!info_.headerProblem.isEmpty()) {
        info_.shape.condition = FileCondition::NotMeasurement;
        info_.shape.samples = info_.shape.partialBytes = 0;
        close();
        return Status::failure(QStringLiteral("%1 不是测量数据文件：文件头%2。").arg(path, info_.headerProblem));
    }
    for (int i = 0; i < 3; ++i) info_.header.channels[i] = static_cast<int16_t>(h[9 + i]);

    // Without a trailer (an interrupted receive) every whole sample behind the header still counts.
    info_.complete = info_.shape.condition == FileCondition::Complete;
    info_.wholeSamples = info_.shape.samples;
    if (info_.complete) {
        float t[kTrailerRecords];
        if (Status s = readRecords(kHeaderRecords + kSampleRecords * info_.wholeSamples + 1, kTrailerRecords, t); !s) {
            close();
            return s;
        }
        std::array<float, 12> mx{}, mn{};
        std::memcpy(mx.data(), t, sizeof(float) * 12);
        std::memcpy(mn.data(), t + 12, sizeof(float) * 12);
        info_.maxima = mx;
        info_.minima = mn;
    }
    return {};
}

Status MeasurementReader::readRecords(int64_t first, int64_t count, float* out) const {
    if (!file_.isOpen() || first < 1 || count < 0 || recordOffset(first + count) > info_.bytes)
        return Status::failure(QStringLiteral("数据文件 %1 中没有第 %2 到第 %3 项记录")
                                   .arg(file_.path())
                                   .arg(first)
                                   .arg(first + count - 1));
    std::vector<unsigned char> buf(static_cast<size_t>(count) * kRecordBytes);
    if (Status s = file_.readAt(recordOffset(first), buf.data(), buf.size()); !s) return s;
    decodeRecords(buf.data(), static_cast<size_t>(count), out);
    return {};
}

Status MeasurementReader::readSample(int64_t k, float out[9]) const {
    if (k < 0 || k >= info_.wholeSamples)
        return Status::failure(QStringLiteral("数据文件 %1 中没有第 %2 组数据（共 %3 组）")
                                   .arg(file_.path())
                                   .arg(k + 1)
                                   .arg(info_.wholeSamples));
    return readRecords(kHeaderRecords + 1 + kSampleRecords * k, kSampleRecords, out);
}

// ---------------------------------------------------------------------------------------------------------

void SampleStream::close() {
    file_.close();
    buf_.clear();
    buf_.shrink_to_fit();
    pos_ = end_ = 0;
}

Status SampleStream::open(const QString& path, int64_t samples) {
    close();
    status_ = {};
    samples_ = samples < 0 ? 0 : samples;
    read_ = 0;
    offset_ = recordOffset(kHeaderRecords + 1);
    if (Status s = file_.open(path); !s) return s;
    if (file_.size() < offset_ + samples_ * kSampleRecords * kRecordBytes) {
        close();
        return Status::failure(QStringLiteral("数据文件 %1 不足 %2 组数据").arg(path).arg(samples_),
                               QStringLiteral("文件比预期短"));
    }
    file_.adviseSequential();
    buf_.resize(kStreamBytes);
    return {};
}

Status SampleStream::fill() {
    // Keep the tail of a sample cut by the last read, then fetch no further than the last sample.
    const size_t keep = end_ - pos_;
    std::memmove(buf_.data(), buf_.data() + pos_, keep);
    pos_ = 0;
    end_ = keep;
    const int64_t last = recordOffset(kHeaderRecords + 1) + samples_ * kSampleRecords * kRecordBytes;
    const size_t want =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(buf_.size() - end_), last - offset_));
    if (Status s = file_.readAt(offset_, buf_.data() + end_, want); !s) return s;
    end_ += want;
    offset_ += static_cast<int64_t>(want);
    return {};
}

bool SampleStream::next(float out[9]) {
    if (!file_.isOpen() || read_ >= samples_) return false;
    constexpr size_t sampleBytes = kSampleRecords * kRecordBytes;
    while (end_ - pos_ < sampleBytes) {
        status_ = fill();
        if (!status_) return false;
    }
    decodeRecords(buf_.data() + pos_, kSampleRecords, out);
    pos_ += sampleBytes;
    ++read_;
    return true;
}

Status SampleStream::readSamples(int64_t first, int64_t count, float* out) const {
    if (!file_.isOpen() || first < 0 || count < 0 || first + count > samples_)
        return Status::failure(QStringLiteral("数据文件中没有第 %1 到 %2 组数据").arg(first + 1).arg(first + count),
                               QStringLiteral("文件提前结束"));
    const size_t values = static_cast<size_t>(count) * kSampleRecords;
    const int64_t at = recordOffset(kHeaderRecords + 1) + first * kSampleRecords * kRecordBytes;
    if (Status s = file_.readAt(at, out, values * sizeof(float)); !s) return s;
    decodeRecordsInPlace(out, values);
    return {};
}

int64_t SampleStream::nextBlock(float* out, int64_t maxSamples) {
    constexpr size_t sampleBytes = kSampleRecords * kRecordBytes;
    int64_t got = 0;
    while (got < maxSamples && file_.isOpen() && read_ < samples_) {
        if (end_ - pos_ < sampleBytes) {
            status_ = fill();
            if (!status_ || end_ - pos_ < sampleBytes) break;
        }
        // Every whole sample the buffer holds in one decode.
        const int64_t whole = static_cast<int64_t>((end_ - pos_) / sampleBytes);
        const int64_t take = std::min({whole, maxSamples - got, samples_ - read_});
        decodeRecords(buf_.data() + pos_, static_cast<size_t>(take) * kSampleRecords, out + got * kSampleRecords);
        pos_ += static_cast<size_t>(take) * sampleBytes;
        read_ += take;
        got += take;
    }
    return got;
}

}  // namespace mervo
