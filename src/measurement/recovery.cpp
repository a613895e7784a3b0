#include "measurement/recovery.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <vector>

#include "measurement/reader.h"
#include "measurement/sample_math.h"
#include "platform/file_replacement.h"

namespace mervo {

namespace {

// Whether one of the samples holds a reading: a record that is a number other than zero. A receive stores what
// the instrument measured, so a recording has one; a file of zeros (a preallocated file, a wiped disk image)
// has none. Read a chunk at a time and stopped at the first reading, so a real recording costs one chunk.
bool anySampleHoldsAReading(const MeasurementReader& reader, int64_t samples) {
    constexpr int64_t kChunkSamples = 4096;
    std::vector<float> values(static_cast<size_t>(kChunkSamples * kSampleRecords));
    for (int64_t k = 0; k < samples;) {
        const int64_t n = std::min(kChunkSamples, samples - k);
        // A chunk that cannot be read is left to the copy, which says why.
        if (!reader.readRecords(kHeaderRecords + 1 + k * kSampleRecords, n * kSampleRecords, values.data()))
            return true;
        for (int64_t i = 0; i < n * kSampleRecords; ++i)
            if (std::isfinite(values[static_cast<size_t>(i)]) && values[static_cast<size_t>(i)] != 0.0f) return true;
        k += n;
    }
    return false;
}

// A header no receive writes: a receive records its clock at the start and moves the duration on as samples
// come, so start time, duration and nameplate all zero (an empty nameplate alone is common) with no reading in
// any sample is no recording, however well its length fits one.
bool isNoRecording(const MeasurementReader& reader, int64_t samples) {
    const FileHeader& h = reader.info().header;
    if (h.StartTime != 0.0f || h.TotalTime != 0.0f) return false;
    for (float v : h.nameplate)
        if (v != 0.0f) return false;
    return !anySampleHoldsAReading(reader, samples);
}

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
    } else if (d.interrupted() && isNoRecording(reader, d.samples)) {
        d.description = QStringLiteral("数据文件 %1 不是接收记录的测量数据：文件头的开始时间、测量时长和电机铭牌数据"
                                       "都是零，%2 组数据中也没有一个读数，不能恢复。")
                            .arg(path)
                            .arg(d.samples);
        d.condition = FileCondition::NotMeasurement;
        d.samples = d.partialBytes = 0;
        d.noRecording = true;
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

// The file a path names: through a symbolic link, the file it points to, so that the finished copy takes that
// file's place and the link stays a link.
QString fileBehind(const QString& path) {
    const QFileInfo fi(path);
    const QString target = fi.isSymLink() ? fi.canonicalFilePath() : QString();
    return target.isEmpty() ? path : target;
}

QString sizeText(int64_t bytes) {
    return QStringLiteral("%1 字节（%2 MB）").arg(bytes).arg(static_cast<double>(bytes) / 1048576.0, 0, 'f', 1);
}

// Refuses a copy the disk has no room for before a byte of it is written: a full disk part way through a long
// copy would fail anyway, after minutes. A disk whose free space cannot be told is tried.
Status checkRoom(const QString& path, int64_t needed, FileSystem& fs) {
    const QString dir = QFileInfo(path).absolutePath();
    const Result<int64_t> free = fs.freeBytes(dir);
    if (!free || *free >= needed) return {};
    return Status::failure(QStringLiteral("磁盘空间不足，无法恢复数据文件 %1：恢复后的文件需要 %2，%3 所在的磁盘只剩 %4。")
                               .arg(path, sizeText(needed), dir, sizeText(*free)),
                           QStringLiteral("磁盘空间不足"));
}

}  // namespace

Diagnosis diagnose(const QString& path) {
    MeasurementReader reader;
    const Status opened = reader.open(path);
    return diagnoseOpened(path, reader, opened);
}

Result<RecoveryReport> recover(const QString& path, FileSystem& fs, const std::function<bool()>& stopRequested) {
    const QString file = fileBehind(path);
    // A receive still recording the file holds its writer lock: the file is not interrupted, it is in progress.
    Result<WriterLock> lock =
        WriterLock::takeUnlessRecording(file, QStringLiteral("一个接收正在写入它，结束之前不能恢复。"));
    if (!lock) return lock.status();
    MeasurementReader reader;
    const Status opened = reader.open(file);
    RecoveryReport r;
    r.found = diagnoseOpened(path, reader, opened);
    r.samples = r.found.samples;
    r.duration = reader.info().header.TotalTime;
    if (r.found.condition == FileCondition::Complete) return r;
    if (!r.found.recoverable()) return Status::failure(r.found.description);
    r.droppedBytes = r.found.partialBytes;

    const auto stopped = [&] { return stopRequested && stopRequested(); };
    const Status stoppedStatus =
        Status::failure(QStringLiteral("数据文件 %1 的恢复已中止，原文件未改动。").arg(path), QStringLiteral("已中止"));
    // A stop asked for while a long file was judged ends the work before its copy begins.
    if (stopped()) return stoppedStatus;
    removeStaleCopies(file);
    if (Status s = checkRoom(file, completeFileBytes(r.samples), fs); !s) return s;
    FileReplacement out(fs);
    if (Status s = out.begin(file, QStringLiteral("recover")); !s) return s;

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
        // Abandoned here, the partial copy goes with `out`.
        if (stopped()) return stoppedStatus;
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
    if (stopped()) return stoppedStatus;
    if (Status s = out.commit(); !s) return s;
    r.recovered = true;
    return r;
}

}  // namespace mervo
