#include "measurement/recovery.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "measurement/reader.h"
#include "measurement/sample_math.h"
#include "platform/file_replacement.h"

namespace mervo {

namespace {

// The diagnosis of a file the reader has tried to open.
Diagnosis diagnoseOpened(const QString& path, const MeasurementReader& reader, const Status& opened) {
    Diagnosis d;
    static_cast<FileShape&>(d) = reader.info().shape;
    switch (d.condition) {
        case FileCondition::TooShort:
            d.description = QStringLiteral("数据文件 %1 只有 %2 字节，不足以容纳文件头，不是可以恢复的测量数据文件。")
                                .arg(path)
                                .arg(d.bytes);
            break;
        case FileCondition::NotMeasurement:
            d.description = QStringLiteral("数据文件 %1 不是测量数据文件：文件头%2。").arg(path, reader.info().headerProblem);
            break;
        case FileCondition::Complete:
            d.description = QStringLiteral("数据文件 %1 完整，其中有 %2 组数据。").arg(path).arg(d.samples);
            break;
        case FileCondition::MissingTrailer:
            d.description = QStringLiteral("数据文件 %1 没有正常结束（接收被中断）：其中有 %2 组完整的数据，"
                                           "缺少最大值和最小值记录。")
                                .arg(path)
                                .arg(d.samples);
            break;
        case FileCondition::PartialSample:
            d.description = QStringLiteral("数据文件 %1 没有正常结束（接收被中断）：其中有 %2 组完整的数据，"
                                           "最后一组数据不完整（只有 %3 字节），缺少最大值和最小值记录。")
                                .arg(path)
                                .arg(d.samples)
                                .arg(d.partialBytes);
            break;
        case FileCondition::Unreadable:
            break;
    }
    if (!opened && d.condition != FileCondition::TooShort && d.condition != FileCondition::NotMeasurement) {
        d = Diagnosis{};
        d.description = QStringLiteral("数据文件 %1 无法读取（%2）。").arg(path, opened.reason());
    }
    return d;
}

// A copy left by a recovery of this file that was itself interrupted is only partial; it goes first.
void removeStaleCopies(const QString& path) {
    const QFileInfo fi(path);
    QDir here(fi.absolutePath());
    const QStringList stale = here.entryList({QStringLiteral(".%1.recover-??????").arg(fi.fileName())},
                                             QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : stale) here.remove(name);
}

}  // namespace

Diagnosis diagnose(const QString& path) {
    MeasurementReader reader;
    const Status opened = reader.open(path);
    return diagnoseOpened(path, reader, opened);
}

Result<RecoveryReport> recover(const QString& path, FileSystem& fs) {
    // A receive still recording the file holds its writer lock: the file is not interrupted, it is in progress.
    Result<WriterLock> lock =
        WriterLock::takeUnlessRecording(path, QStringLiteral("一个接收正在写入它，结束之前不能恢复。"));
    if (!lock) return lock.status();
    MeasurementReader reader;
    const Status opened = reader.open(path);
    RecoveryReport r;
    r.found = diagnoseOpened(path, reader, opened);
    r.samples = r.found.samples;
    r.duration = reader.info().header.TotalTime;
    if (r.found.condition == FileCondition::Complete) return r;
    if (!r.found.recoverable()) return Status::failure(r.found.description);
    r.droppedBytes = r.found.partialBytes;

    removeStaleCopies(path);
    FileReplacement out(fs);
    if (Status s = out.begin(path, QStringLiteral("recover")); !s) return s;

    // Header and samples go out as read, bit for bit; only the scan looks at their values.
    float records[kHeaderRecords];
    unsigned char bytes[kHeaderRecords * kRecordBytes];
    if (Status s = reader.readRecords(1, kHeaderRecords, records); !s) return s;
    encodeRecords(records, kHeaderRecords, bytes);
    int64_t at = 0;
    if (Status s = out.file().writeAt(at, bytes, sizeof bytes); !s) return s;
    at += static_cast<int64_t>(sizeof bytes);

    r.duration = reader.info().header.TotalTime;
    ExtremesScan scan(r.duration, r.samples);
    constexpr int64_t kChunkSamples = 4096;
    std::vector<float> values(static_cast<size_t>(kChunkSamples * kSampleRecords));
    std::vector<unsigned char> chunk(values.size() * kRecordBytes);
    for (int64_t k = 0; k < r.samples;) {
        const int64_t n = std::min(kChunkSamples, r.samples - k);
        const size_t count = static_cast<size_t>(n * kSampleRecords);
        if (Status s = reader.readRecords(kHeaderRecords + 1 + k * kSampleRecords, static_cast<int64_t>(count),
                                          values.data());
            !s)
            return s;
        for (int64_t j = 0; j < n; ++j) scan.add(values.data() + j * kSampleRecords);
        encodeRecords(values.data(), count, chunk.data());
        if (Status s = out.file().writeAt(at, chunk.data(), count * kRecordBytes); !s) return s;
        at += static_cast<int64_t>(count * kRecordBytes);
        k += n;
    }
    r.maxima = scan.live().LiveMax;
    r.minima = scan.live().LiveMin;
    unsigned char trailer[kRecordBytes * kTrailerRecords];
    encodeRecords(r.maxima.data(), 12, trailer);
    encodeRecords(r.minima.data(), 12, trailer + kRecordBytes * 12);
    if (Status s = out.file().writeAt(at, trailer, sizeof trailer); !s) return s;
    reader.close();
    if (Status s = out.commit(); !s) return s;
    r.recovered = true;
    return r;
}

}  // namespace mervo
