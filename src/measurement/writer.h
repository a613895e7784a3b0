// Writes the working file during a receive. Every call hands its bytes to the operating system before it
// returns, so a killed program loses nothing that was appended; sync() puts them on the disk. An append that
// fails leaves the file as it was before it: header, whole samples, and the trailer only when all of it is there.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "measurement/file_layout.h"
#include "platform/files.h"

namespace mervo {

class WorkingFileWriter {
public:
    explicit WorkingFileWriter(FileSystem& fs = systemFileSystem()) : fs_(fs) {}

    // Creates (or empties) the file and writes records 1 to 12.
    Status create(const QString& path, const FileHeader& header);
    Status appendSample(const float values[9]);
    Status appendTrailer(const std::array<float, 12>& maxima, const std::array<float, 12>& minima);
    Status writeRecord(int64_t recordNo, float value);  // in place, e.g. record 2
    // Data to the disk; blocks, so the receive has it run off the window's thread.
    Status sync();
    Status close();

    bool isOpen() const { return file_ != nullptr; }
    // The open file, for a sync from another thread; null when none is open.
    DurableFile* file() { return file_.get(); }
    int64_t samplesWritten() const { return samples_; }

private:
    Status append(const float* values, size_t n);

    FileSystem& fs_;
    std::unique_ptr<DurableFile> file_;
    int64_t end_ = 0;  // bytes written so far
    int64_t samples_ = 0;
};

}  // namespace mervo
