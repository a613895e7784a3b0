// The measurement file: 4-byte little-endian floats numbered from 1. Twelve header records, nine records per
// sample, then twelve maxima and twelve minima. The working file and saved measurements share this layout.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace mervo {

constexpr int kHeaderRecords = 12;
constexpr int kSampleRecords = 9;
constexpr int kTrailerRecords = 24;
constexpr int kRecordBytes = 4;

struct FileHeader {
    float StartTime = 0;                // record 1: clock at the start, seconds since midnight
    float TotalTime = 0;                // record 2: duration in seconds
    std::array<float, 7> nameplate{};   // records 3..9: the motor's seven nameplate values
    std::array<int16_t, 3> channels{};  // records 10..12: RedOn, BlueOn, YellowOn

    int16_t wiringCode() const { return static_cast<int16_t>(4 * channels[0] + 2 * channels[1] + channels[2]); }
    bool motorDataValid() const;  // all seven nameplate values non-zero
};

// Why twelve header records cannot be what a receive writes (start time outside a day, a negative or
// non-finite duration, a non-finite nameplate value, a channel flag other than 0, 1 or -1), or empty when they
// can be. A file of another kind, renamed or chosen by mistake, fails this almost surely.
QString headerProblem(const float records[12]);

// Byte offset of record n (numbered from 1).
constexpr int64_t recordOffset(int64_t n) { return kRecordBytes * (n - 1); }

// Length in bytes of a complete file of n samples.
constexpr int64_t completeFileBytes(int64_t n) {
    return kRecordBytes * (kHeaderRecords + kSampleRecords * n + kTrailerRecords);
}

// SampleCount as every reader derives it from the length: (L / 4 - 36) / 9, fractional for a damaged file.
float sampleCountFromLength(int64_t bytes);

// Writes the working file during a receive. Every call hands its bytes to the operating system before it
// returns, so a killed program loses nothing that was appended.
class WorkingFileWriter {
public:
    WorkingFileWriter() = default;
    ~WorkingFileWriter();
    WorkingFileWriter(const WorkingFileWriter&) = delete;
    WorkingFileWriter& operator=(const WorkingFileWriter&) = delete;

    // Creates (or empties) the file and writes records 1 to 12.
    bool create(const QString& path, const FileHeader& header, QString* error);
    bool appendSample(const float values[9], QString* error);
    bool appendTrailer(const std::array<float, 12>& maxima, const std::array<float, 12>& minima, QString* error);
    bool writeRecord(int64_t recordNo, float value, QString* error);  // in place, e.g. record 2
    bool sync(QString* error);  // data to the disk; blocks, so the receive calls it off the GUI thread
    void close();

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int64_t samplesWritten() const { return samples_; }
    const QString& path() const { return path_; }

private:
    bool writeAt(int64_t offset, const void* data, size_t n, QString* error);
    bool append(const float* values, size_t n, QString* error);

    int fd_ = -1;
    int64_t end_ = 0;  // bytes written so far
    int64_t samples_ = 0;
    QString path_;
};

// What a measurement file holds, read without trusting its length.
struct MeasurementInfo {
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
    MeasurementReader() = default;
    ~MeasurementReader();
    MeasurementReader(const MeasurementReader&) = delete;
    MeasurementReader& operator=(const MeasurementReader&) = delete;

    // Refuses a file that is not a measurement: missing, not a regular file, shorter than the header, or with a
    // header no receive writes (then info().headerProblem says why).
    bool open(const QString& path, QString* error);
    void close();

    const MeasurementInfo& info() const { return info_; }
    // Reads sample k (0-based) into nine floats in file order.
    bool readSample(int64_t k, float out[9], QString* error) const;
    // Reads `count` records starting at record `first` (numbered from 1).
    bool readRecords(int64_t first, int64_t count, float* out, QString* error) const;

private:
    int fd_ = -1;
    MeasurementInfo info_;
};

// Reads the samples of a measurement file one after another from the first, through a buffer of whole
// blocks, for a pass that visits every sample once. It reads only the samples the caller says the file holds.
class SampleStream {
public:
    SampleStream() = default;
    ~SampleStream();
    SampleStream(const SampleStream&) = delete;
    SampleStream& operator=(const SampleStream&) = delete;

    // Opens `path` for reading samples 1..`samples`; the file must be at least that long.
    bool open(const QString& path, int64_t samples, QString* error);
    void close();
    // The next sample's nine values in file order; false at the end (with `error` cleared) or on a read error.
    bool next(float out[9], QString* error);
    int64_t samplesRead() const { return read_; }

private:
    bool fill(QString* error);

    int fd_ = -1;
    QString path_;
    int64_t samples_ = 0, read_ = 0;
    int64_t offset_ = 0;  // file offset of the next byte to fetch
    std::vector<unsigned char> buf_;
    size_t pos_ = 0, end_ = 0;
};

// Little-endian conversion of records, independent of the host's byte order.
void encodeRecords(const float* values, size_t n, unsigned char* out);
void decodeRecords(const unsigned char* in, size_t n, float* values);

}  // namespace mervo
