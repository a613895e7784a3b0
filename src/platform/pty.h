// Where the instrument simulator sends its bytes: the master side of a raw pseudo-terminal (a stand-in for an
// instrument on a serial line), a file, or standard output.
#pragma once

#include <QString>
#include <atomic>
#include <cstddef>
#include <memory>

#include "shared/result.h"

namespace mervo {

class ByteOutput {
public:
    ~ByteOutput();
    ByteOutput(const ByteOutput&) = delete;
    ByteOutput& operator=(const ByteOutput&) = delete;

    // A raw pseudo-terminal pair (no echo, no line editing, no character translation); the receiver opens
    // slavePath().
    static Result<std::unique_ptr<ByteOutput>> openPty();
    // A file, created or emptied.
    static Result<std::unique_ptr<ByteOutput>> openFile(const QString& path);
    static std::unique_ptr<ByteOutput> standardOutput();

    const QString& slavePath() const { return slavePath_; }
    // True while no process holds the pseudo-terminal's slave side open (the master sees a hang-up).
    bool slaveClosed() const;
    // Writes all `n` bytes. A full line (a slow or absent receiver) is waited out until `stop` turns true.
    // False on a write error or a stop.
    bool write(const void* data, size_t n, const std::atomic<bool>* stop = nullptr);
    // Writes what the line takes at once and drops the rest, as a serial line drops what nobody reads: a
    // sender that waited would fall behind its clock and then send its backlog at once. Nothing is written
    // while no receiver holds the line. False only on a write error.
    bool writeOrDrop(const void* data, size_t n);

private:
    ByteOutput(int fd, bool owned);
    int fd_;
    bool owned_;
    QString slavePath_;
};

}  // namespace mervo
