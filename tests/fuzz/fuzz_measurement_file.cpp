// The measurement-file reader over files of any length and content: it refuses exactly the files too short for
// a header or with a header no receive writes; otherwise it never claims more samples than the bytes hold,
// every sample it claims reads back as the bytes at its place, and nothing beyond them is read. Recovery of the
// same bytes rewrites only an interrupted recording.
#include <QFile>
#include <cmath>
#include <cstring>
#include <vector>

#include "measurement/recovery.h"
#include "measurement/reader.h"
#include "fuzz_support.h"

using namespace mervo;

namespace {

float recordAt(const uint8_t* data, int64_t n) {
    float v;
    decodeRecords(data + recordOffset(n), 1, &v);
    return v;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Recovery rewrites only an interrupted recording, which then keeps its header and whole samples byte for byte
// and gains just the trailer; any other file is left exactly as it was.
void checkRecovery(const uint8_t* data, size_t size) {
    fuzz::TempFile copy(data, size);
    const Diagnosis d = diagnose(copy.path());
    const Result<RecoveryReport> r = recover(copy.path());
    const bool ok = r.ok();
    const QByteArray after = contentOf(copy.path());
    FUZZ_CHECK(!ok || r->found.condition == d.condition);
    if (d.recoverable()) {
        FUZZ_CHECK(ok && r->recovered && r->samples == d.samples);
        FUZZ_CHECK(after.size() == completeFileBytes(d.samples));
        FUZZ_CHECK(std::memcmp(after.constData(), data, static_cast<size_t>(completeFileBytes(d.samples) -
                                                                           kRecordBytes * kTrailerRecords)) == 0);
        MeasurementReader reader;
        FUZZ_CHECK(reader.open(copy.path()) && reader.info().complete);
    } else {
        FUZZ_CHECK(ok == (d.condition == FileCondition::Complete));
        FUZZ_CHECK(!ok || !r->recovered);
        FUZZ_CHECK(after == QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(size)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::TempFile file(data, size);
    const int64_t bytes = static_cast<int64_t>(size);

    MeasurementReader reader;
    checkRecovery(data, size);
    const bool shortFile = bytes < kRecordBytes * kHeaderRecords;
    QString problem;
    if (!shortFile) {
        float h[kHeaderRecords];
        for (int i = 0; i < kHeaderRecords; ++i) h[i] = recordAt(data, i + 1);
        problem = headerProblem(h);
    }
    if (const Status opened = reader.open(file.path()); !opened) {
        // Only a file without a whole header, or with one no receive writes, is refused.
        FUZZ_CHECK(!opened.message().isEmpty());
        FUZZ_CHECK(shortFile || !problem.isEmpty());
        FUZZ_CHECK(reader.info().headerProblem == problem);
        return 0;
    }
    FUZZ_CHECK(!shortFile && problem.isEmpty());
    // What the header check lets through is what a receive writes.
    FUZZ_CHECK(std::isfinite(recordAt(data, 1)) && recordAt(data, 1) >= 0 && recordAt(data, 1) <= 86400);
    FUZZ_CHECK(std::isfinite(recordAt(data, 2)) && recordAt(data, 2) >= 0);
    const MeasurementInfo& info = reader.info();
    FUZZ_CHECK(info.bytes == bytes);
    FUZZ_CHECK(info.wholeSamples >= 0);
    FUZZ_CHECK(recordOffset(kHeaderRecords + 1) + info.wholeSamples * kSampleRecords * kRecordBytes <= bytes);
    // No whole sample behind the header is left out.
    FUZZ_CHECK(recordOffset(kHeaderRecords + 1) + (info.wholeSamples + 1) * kSampleRecords * kRecordBytes > bytes ||
               info.complete);
    FUZZ_CHECK(info.complete == (bytes % kRecordBytes == 0 && bytes >= completeFileBytes(0) &&
                                 (bytes - completeFileBytes(0)) % (kSampleRecords * kRecordBytes) == 0));
    if (info.complete) {
        FUZZ_CHECK(completeFileBytes(info.wholeSamples) == bytes);
        FUZZ_CHECK(info.maxima.has_value() && info.minima.has_value());
        const int64_t first = kHeaderRecords + kSampleRecords * info.wholeSamples + 1;
        for (int i = 0; i < 12; ++i) {
            FUZZ_CHECK(sameBits((*info.maxima)[i], recordAt(data, first + i)));
            FUZZ_CHECK(sameBits((*info.minima)[i], recordAt(data, first + 12 + i)));
        }
    } else {
        FUZZ_CHECK(!info.maxima && !info.minima);
    }
    FUZZ_CHECK(sameBits(info.header.StartTime, recordAt(data, 1)));
    FUZZ_CHECK(sameBits(info.header.TotalTime, recordAt(data, 2)));
    for (int i = 0; i < 7; ++i) FUZZ_CHECK(sameBits(info.header.nameplate[i], recordAt(data, 3 + i)));
    for (int i = 0; i < 3; ++i) {
        const float flag = recordAt(data, 10 + i);
        FUZZ_CHECK(flag == 0.0f || flag == 1.0f || flag == -1.0f);
        FUZZ_CHECK(info.header.channels[i] == int16_t(flag));
    }
    // The derived count agrees with the length (it is fractional for a damaged file).
    const float derived = sampleCountFromLength(bytes);
    FUZZ_CHECK(std::isfinite(derived));
    if (info.complete) FUZZ_CHECK(derived == float(info.wholeSamples));

    float values[9];
    for (int64_t k = 0; k < info.wholeSamples; ++k) {
        FUZZ_CHECK(reader.readSample(k, values));
        for (int i = 0; i < 9; ++i)
            FUZZ_CHECK(sameBits(values[i], recordAt(data, kHeaderRecords + 1 + kSampleRecords * k + i)));
    }
    FUZZ_CHECK(!reader.readSample(info.wholeSamples, values));
    FUZZ_CHECK(!reader.readSample(-1, values));
    // Records past the end are refused, never read.
    const int64_t records = bytes / kRecordBytes;
    FUZZ_CHECK(!reader.readRecords(records, 2, values));
    FUZZ_CHECK(!reader.readRecords(0, 1, values));
    if (records >= 1) FUZZ_CHECK(reader.readRecords(records, 1, values));

    // The sequential reader yields the same samples, and refuses a count the file cannot hold.
    SampleStream stream;
    FUZZ_CHECK(stream.open(file.path(), info.wholeSamples));
    int64_t k = 0;
    while (stream.next(values)) {
        FUZZ_CHECK(k < info.wholeSamples);
        for (int i = 0; i < 9; ++i)
            FUZZ_CHECK(sameBits(values[i], recordAt(data, kHeaderRecords + 1 + kSampleRecords * k + i)));
        ++k;
    }
    FUZZ_CHECK(stream.status().ok());
    FUZZ_CHECK(k == info.wholeSamples && stream.samplesRead() == k);
    FUZZ_CHECK(!stream.next(values));
    const int64_t tooMany = (bytes - recordOffset(kHeaderRecords + 1)) / (kSampleRecords * kRecordBytes) + 1;
    SampleStream beyond;
    FUZZ_CHECK(!beyond.open(file.path(), tooMany));
    return 0;
}
