// The measurement file: 4-byte little-endian floats numbered from 1. Twelve header records, nine records per
// sample, then twelve maxima and twelve minima. The working file and saved measurements share this layout.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

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

// Little-endian conversion of records, independent of the host's byte order.
void encodeRecords(const float* values, size_t n, unsigned char* out);
void decodeRecords(const unsigned char* in, size_t n, float* values);
// The same for records read straight into `values`.
void decodeRecordsInPlace(float* values, size_t n);

}  // namespace mervo
