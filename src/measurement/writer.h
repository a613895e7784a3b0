// Writes the working file during a receive. Every call hands its bytes to the operating system before it
// returns, so a killed program loses nothing that was appended.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "measurement/file_layout.h"

namespace mervo {

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

}  // namespace mervo
