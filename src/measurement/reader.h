// Reading measurement files: what a file holds, single samples and records, and every sample in order.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "measurement/file_layout.h"
#include "measurement/file_shape.h"
#include "platform/files.h"
#include "shared/result.h"

namespace mervo {

// What a measurement file holds, read without trusting its length.
struct MeasurementInfo {
    FileShape shape;            // by its length; NotMeasurement when its header is not a measurement's
    int64_t bytes = 0;
    float SampleCount = 0;      // as derived from the length (may be fractional)
    int64_t wholeSamples = 0;   // samples fully present behind the header
    bool complete = false;      // header, whole samples and the trailer, nothing more or less
    FileHeader header;
    std::optional<std::array<float, 12>> maxima, minima;  // only for a complete file
    QString headerProblem;      // set when open() refused the file for its header
};

// Reads a measurement file. Every read checks the file's actual length, so a short or damaged file gives an
// error instead of values from beyond its end.
class MeasurementReader {
public:
    // Refuses a file that is not a measurement: missing, not a regular file, shorter than the header, or with a
    // header no receive writes (then info().headerProblem says why). info().shape says which, also on refusal.
    Status open(const QString& path);
    void close() { file_.close(); }

    const MeasurementInfo& info() const { return info_; }
    // Reads sample k (0-based) into nine floats in file order.
    Status readSample(int64_t k, float out[9]) const;
    // Reads `count` records starting at record `first` (numbered from 1).
    Status readRecords(int64_t first, int64_t count, float* out) const;

private:
    ReadOnlyFile file_;
    MeasurementInfo info_;
};

// Reads the samples of a measurement file one after another from the first, through a buffer of whole
// blocks, for a pass that visits every sample once. It reads only the samples the caller says the file holds.
class SampleStream {
public:
    // Opens `path` for reading samples 1..`samples`; the file must be at least that long.
    Status open(const QString& path, int64_t samples);
    void close();
    // The next sample's nine values in file order; false after the last one, or on a read error, which status()
    // then tells.
    bool next(float out[9]);
    // Up to `maxSamples` next samples, nine values each, into `out`; how many. Fewer than asked only at the end
    // of the samples or on a read error (then status() tells).
    int64_t nextBlock(float* out, int64_t maxSamples);
    const Status& status() const { return status_; }
    int64_t samplesRead() const { return read_; }
    // Samples first+1 .. first+count straight into `out`, wherever the stream stands; several threads may
    // read disjoint runs at once. A run past the samples opened for, or a read error, is a failure.
    Status readSamples(int64_t first, int64_t count, float* out) const;

private:
    Status fill();

    ReadOnlyFile file_;
    Status status_;
    int64_t samples_ = 0, read_ = 0;
    int64_t offset_ = 0;  // file offset of the next byte to fetch
    std::vector<unsigned char> buf_;
    size_t pos_ = 0, end_ = 0;
};

}  // namespace mervo
