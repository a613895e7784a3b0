#include "measurement/file_shape.h"

#include "measurement/file_layout.h"

namespace mervo {

FileShape shapeOfLength(int64_t bytes) {
    constexpr int64_t headerBytes = kRecordBytes * kHeaderRecords;
    constexpr int64_t sampleBytes = kRecordBytes * kSampleRecords;
    constexpr int64_t trailerBytes = kRecordBytes * kTrailerRecords;
    FileShape s;
    s.bytes = bytes;
    if (bytes < headerBytes) {
        s.condition = FileCondition::TooShort;
        return s;
    }
    const int64_t body = bytes - headerBytes;
    if (body >= trailerBytes && (body - trailerBytes) % sampleBytes == 0) {
        s.condition = FileCondition::Complete;
        s.samples = (body - trailerBytes) / sampleBytes;
        return s;
    }
    s.samples = body / sampleBytes;
    s.partialBytes = body % sampleBytes;
    s.condition = s.partialBytes == 0 ? FileCondition::MissingTrailer : FileCondition::PartialSample;
    return s;
}

}  // namespace mervo
