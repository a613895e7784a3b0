// One receive run, free of any window: bytes and clock ticks go in; samples go to the working file and the
// live arrays; the run ends at its set time, on the stop button, when the port is lost, or on an error.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "acquisition/sync_search.h"
#include "measurement/sidecar.h"
#include "measurement/writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

class FileSyncer;

enum class ReceiveMode { Timed, Manual };

enum class ReceiveEnd {
    None,          // still running (or never started)
    TimeReached,   // a timed receive reached its set duration
    Stopped,       // a manual receive was stopped
    PortLost,      // the serial device went away; everything received is kept
    WriteFailed,   // the working file could not be written; what was written stays
    Aborted,       // the per-block arithmetic failed; no trailer
};

// The message box text of the per-block error path, by error number.
QString receiveErrorText(int errorNumber);
// What the operator is told about an end other than the normal ones (empty for those).
QString receiveEndText(ReceiveEnd end, const QString& detail);

// What a receive records with, taken when it starts. Settings changed while it runs (an open settings or motor
// window) apply to the next receive; every block of this one is scaled alike.
struct ReceiveSnapshot {
    float CTRatio = 1, PTRatio = 1;
    float TotalTime = 0;  // the set duration of a timed receive
    std::array<float, 7> nameplate{};
    std::array<int16_t, 3> channels{};
};

// A block as the receive processed it, for a view that follows the receive without reading the file back.
struct ProcessedBlock {
    int64_t number = 0;           // from 1 within the receive
    float elapsed = 0;            // seconds since the start, when it arrived
    const float* written = nullptr;  // the nine values written to the file
    float sumP = 0, sumQ = 0, s = 0, pf = 0;  // totals, the power factor signed
};

class ReceiveCycle {
public:
    ReceiveCycle(SharedState& state, const Clock& clock, FileSystem& fs = systemFileSystem());
    ~ReceiveCycle();

    // Resets buffer, extremes and sums; takes the start time and the snapshot; creates `workFile` with its
    // header. The caller has opened the port and thrown away the bytes that were waiting in it.
    Status start(ReceiveMode mode, const QString& workFile);

    // Bytes from the port: every complete block among them is processed before this returns.
    void feed(const uint8_t* data, size_t n);
    // Called a few times a second: ends a timed receive at its set time even when no byte comes, and keeps
    // the file synced to disk about once a second.
    void poll();
    // The stop button of a manual receive, or the program closing: the run ends normally with the blocks
    // processed so far.
    void requestStop();
    // The serial port went away: ends normally, keeping every block.
    void portLost(const QString& why);
    // The serial port went away and the receive waits for it to come back: the run goes on, the part of a block
    // that had arrived is dropped, and the time until the next block arrives, beyond one block period, becomes a
    // gap of the measurement (kept in its sidecar as soon as that block comes).
    void deviceLost();

    bool running() const { return running_; }
    ReceiveEnd end() const { return end_; }
    QString endDetail() const { return endDetail_; }  // error text of a write failure, reason of a port loss
    int errorNumber() const { return errorNumber_; }   // of an aborted run
    int64_t blocks() const { return blocks_; }
    // Seconds since the run started, by the clock that ends a timed run.
    double elapsed() const { return elapsedNow(); }
    // The gaps recorded so far.
    const ReceiveGaps& gaps() const { return sidecar_.gaps; }
    // The operator's marker at the last sample received, "标记 n" (n counting the markers of this recording from
    // 1), kept in the sidecar at once so that a recovery finds it. A marker already at that sample is given back
    // as it is. Fails before the first sample and when the sidecar cannot be written (nothing is set then; the
    // receive goes on).
    Result<Marker> addMarker();
    const std::vector<Marker>& markers() const { return sidecar_.markers; }
    uint64_t skippedBytes() const { return state_.receive.SkippedBytes; }
    ReceiveMode mode() const { return mode_; }
    const ReceiveSnapshot& snapshot() const { return snap_; }
    int completedSyncs() const;

    // After each processed block (the window redraws its panel here).
    std::function<void()> onBlock;
    // Each processed block with its values, before onBlock; it runs within the receive, so it must be quick.
    std::function<void(const ProcessedBlock&)> onProcessed;
    // Once, when the run has ended by any path.
    std::function<void(ReceiveEnd)> onEnded;

private:
    double elapsedNow() const;
    bool timeIsUp() const;
    // Ends the run when the stop button was pressed or the set time has come; true if it ended.
    bool endIfDue();
    void processBlock(const std::array<uint8_t, kValueBytes>& bytes);
    void endNormally(ReceiveEnd why);
    void fail(ReceiveEnd why);
    void maybeSync();
    // The gap before the block arriving `now` s after the start, into the sidecar; false if that failed.
    bool recordGap(double now);

    SharedState& state_;
    const Clock& clock_;
    ReceiveMode mode_ = ReceiveMode::Timed;
    ReceiveSnapshot snap_;
    BlockScanner scanner_;
    WorkingFileWriter writer_;
    std::unique_ptr<FileSyncer> syncer_;
    bool running_ = false;
    ReceiveEnd end_ = ReceiveEnd::None;
    QString endDetail_;
    int errorNumber_ = 0;
    int64_t blocks_ = 0;
    int64_t blocksAtLastSync_ = 0;
    double monoStart_ = 0;
    double lastSync_ = 0;
    double lastBlockAt_ = 0;      // seconds since the start at which the last block arrived
    float lastBlockElapsed_ = 0;  // the time the samples cover up to the last block: record 2
    float record2_ = 0;  // the duration last written into record 2
    bool gapPending_ = false;  // the device went away since the last block
    double gapSeconds_ = 0;    // of every gap so far
    Sidecar sidecar_;
    QString workFile_;
    FileSystem& fs_;
    // The instrument's block period at 9600 baud: record 2 is rewritten no more often than blocks can arrive.
    static constexpr float kRecordTwoInterval = 1.0f / 32.0f;
};

}  // namespace mervo
