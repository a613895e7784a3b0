#include "acquisition/receive_cycle.h"

#include "acquisition/file_syncer.h"
#include "measurement/codec.h"
#include "measurement/sample_math.h"
#include "acquisition/record_scaling.h"

#include <algorithm>
#include <cmath>

namespace mervo {

QString receiveErrorText(int errorNumber) {
    if (errorNumber == kErrInvalidArgument)
        return QStringLiteral("数据接收超时错误，错误号： %1！\r\n请重新接收！").arg(errorNumber);
    return QStringLiteral("其它错误，错误号： %1！").arg(errorNumber);
}

QString receiveEndText(ReceiveEnd end, const QString& detail) {
    switch (end) {
        case ReceiveEnd::PortLost:
            // The system's words for a vanished device are stale or misleading ("Inappropriate ioctl for device"):
            // the operator is told what happened.
            return QStringLiteral("串行口连接中断：仪表已断开，接收已结束！\r\n已收到的数据全部保留在数据文件中。");
        case ReceiveEnd::WriteFailed:
            return QStringLiteral("数据文件写入失败，接收已终止！\r\n已写入的数据保留在文件中；腾出磁盘空间后，"
                                  "重新启动程序或打开该文件即可恢复。（%1）").arg(detail);
        default:
            return QString();
    }
}

ReceiveCycle::ReceiveCycle(SharedState& state, const Clock& clock, FileSystem& fs)
    : state_(state), clock_(clock), scanner_(state.receive, FillerRule::SearchAfterValues), writer_(fs), fs_(fs) {}

ReceiveCycle::~ReceiveCycle() {
    if (syncer_) (void)syncer_->finish();
}

double ReceiveCycle::elapsedNow() const { return clock_.monotonicSeconds() - monoStart_; }

bool ReceiveCycle::timeIsUp() const {
    return mode_ == ReceiveMode::Timed && elapsedNow() >= static_cast<double>(snap_.TotalTime);
}

Status ReceiveCycle::start(ReceiveMode mode, const QString& workFile) {
    if (syncer_) (void)syncer_->finish();
    syncer_.reset();
    mode_ = mode;
    scanner_.setRule(mode == ReceiveMode::Manual ? FillerRule::SkipFillerUnlessSync : FillerRule::SearchAfterValues);
    scanner_.reset();
    state_.live.resetExtremes();
    state_.sums.reset();
    state_.receive.AbortReceive = false;
    state_.receive.ManualRunning = true;
    end_ = ReceiveEnd::None;
    endDetail_.clear();
    errorNumber_ = 0;
    blocks_ = blocksAtLastSync_ = 0;
    lastBlockAt_ = 0;
    lastBlockElapsed_ = record2_ = 0;
    gapPending_ = false;
    gapSeconds_ = 0;
    sidecar_ = Sidecar{};
    workFile_ = workFile;

    snap_.CTRatio = state_.settings.CTRatio;
    snap_.PTRatio = state_.settings.PTRatio;
    snap_.TotalTime = state_.file.TotalTime;
    snap_.nameplate = state_.motor.nameplate();
    snap_.channels = {state_.settings.RedOn, state_.settings.BlueOn, state_.settings.YellowOn};

    state_.file.StartTime = static_cast<float>(clock_.secondsSinceMidnight());
    monoStart_ = lastSync_ = clock_.monotonicSeconds();
    state_.file.ElapsedTime = 0;
    state_.file.WorkFile = workFile;

    FileHeader h;
    h.StartTime = state_.file.StartTime;
    h.TotalTime = 0;  // no samples span any time yet; the blocks move it on
    h.nameplate = snap_.nameplate;
    h.channels = snap_.channels;
    if (Status s = writer_.create(workFile, h); !s) return s;
    // The file is made afresh: gaps or markers of the recording before are not this one's.
    if (Status s = removeSidecar(workFile, fs_); !s) {
        (void)writer_.close();
        return s;
    }
    syncer_ = std::make_unique<FileSyncer>(*writer_.file());
    running_ = true;
    state_.receive.Receiving = true;
    return {};
}

void ReceiveCycle::feed(const uint8_t* data, size_t n) {
    if (!running_) return;
    scanner_.append(data, n);
    std::array<uint8_t, kValueBytes> values;
    // The end conditions are looked at before each block, as the stop button and the set time demand.
    while (running_) {
        if (endIfDue() || !scanner_.next(values)) break;
        processBlock(values);
    }
    scanner_.compact();
    if (running_) maybeSync();
}

void ReceiveCycle::processBlock(const std::array<uint8_t, kValueBytes>& bytes) {
    auto& live = state_.live;
    // A block that fails leaves the panel on the last good one.
    const LiveArrays previous = live;
    for (int i = 0; i < 9; ++i) {
        live.SampleValues[i] = DecodeTriple(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
        live.LiveValues[i] = live.SampleValues[i];
    }
    ScaleRecord(live.LiveValues, snap_.CTRatio, snap_.PTRatio);
    const double now = elapsedNow();
    if (gapPending_ && !recordGap(now)) {
        live = previous;
        fail(ReceiveEnd::WriteFailed);
        return;
    }
    if (Status s = writer_.appendSample(live.LiveValues.data()); !s) {
        live = previous;
        endDetail_ = s.message();
        fail(ReceiveEnd::WriteFailed);
        return;
    }
    ++blocks_;
    lastBlockAt_ = now;
    state_.file.ElapsedTime = static_cast<float>(now);
    // The samples stand for the time they cover: the gaps are left out of record 2 and the energies, and the
    // sidecar gives them back to every time shown.
    const float elapsed = static_cast<float>(now - gapSeconds_);
    lastBlockElapsed_ = elapsed;
    // Record 2 follows the samples within a block period, so a file cut short by a kill states the time its
    // samples span instead of the set duration.
    if (blocks_ == 1 || elapsed - record2_ >= kRecordTwoInterval) {
        // A disk that refuses these four bytes is failing: the operator hears it as for any other write.
        if (Status s = writer_.writeRecord(2, elapsed); !s) {
            endDetail_ = s.message();
            fail(ReceiveEnd::WriteFailed);
            return;
        }
        record2_ = elapsed;
    }
    const int err = ProcessSample(live, state_.sums, elapsed);
    if (err != 0) {
        live = previous;
        errorNumber_ = err;
        state_.receive.AbortReceive = true;
        fail(ReceiveEnd::Aborted);
        return;
    }
    if (onProcessed) {
        ProcessedBlock b;
        b.number = blocks_;
        b.elapsed = static_cast<float>(now);
        b.written = live.SampleValues.data();
        b.sumP = live.LiveValues[2];
        b.sumQ = live.LiveValues[5];
        b.s = live.LiveValues[9];
        b.pf = live.PowerFactorNegative ? -live.LiveValues[8] : live.LiveValues[8];
        onProcessed(b);
    }
    if (onBlock) onBlock();
}

bool ReceiveCycle::endIfDue() {
    if (mode_ == ReceiveMode::Manual && !state_.receive.ManualRunning) {
        endNormally(ReceiveEnd::Stopped);
        return true;
    }
    if (timeIsUp()) {
        endNormally(ReceiveEnd::TimeReached);
        return true;
    }
    return false;
}

void ReceiveCycle::poll() {
    if (running_ && !endIfDue()) maybeSync();
}

void ReceiveCycle::requestStop() {
    state_.receive.ManualRunning = false;
    if (running_) endNormally(ReceiveEnd::Stopped);
}

void ReceiveCycle::portLost(const QString& why) {
    if (!running_) return;
    endDetail_ = why;
    endNormally(ReceiveEnd::PortLost);
}

void ReceiveCycle::deviceLost() {
    if (!running_) return;
    gapPending_ = true;
    scanner_.dropPartial();  // the rest of that block is never coming
}

bool ReceiveCycle::recordGap(double now) {
    gapPending_ = false;
    // Beyond the block period the samples before it kept (the wait for the very first block has none).
    const double period = blocks_ > 0 ? lastBlockAt_ / static_cast<double>(blocks_) : 0.0;
    const double seconds = std::round(std::max(0.0, now - lastBlockAt_ - period) * 1000.0) / 1000.0;
    if (seconds <= 0) return true;
    sidecar_.gaps.add({blocks_, seconds});
    gapSeconds_ += seconds;
    if (Status s = writeSidecar(workFile_, state_.file.StartTime, sidecar_, fs_); !s) {
        endDetail_ = s.message();
        return false;
    }
    return true;
}

Result<Marker> ReceiveCycle::addMarker() {
    if (!running_ || blocks_ == 0) return Status::failure(QStringLiteral("尚未收到数据，无法设置标记"));
    for (const Marker& m : sidecar_.markers)
        if (m.sample == blocks_) return m;
    const Marker m{blocks_, QStringLiteral("标记 %1").arg(sidecar_.markers.size() + 1)};
    Sidecar next = sidecar_;
    setMarker(next.markers, m);
    if (Status s = writeSidecar(workFile_, state_.file.StartTime, next, fs_); !s)
        return Status::failure(QStringLiteral("标记未能保存：%1").arg(s.message()), s.reason());
    sidecar_ = std::move(next);
    return m;
}

void ReceiveCycle::maybeSync() {
    const double now = clock_.monotonicSeconds();
    if (now - lastSync_ < 1.0 || blocks_ == blocksAtLastSync_) return;
    lastSync_ = now;
    blocksAtLastSync_ = blocks_;
    // What reaches the disk states the duration of the samples synced with it; a normal end writes the final value.
    if (blocks_ > 0) {
        if (Status s = writer_.writeRecord(2, lastBlockElapsed_); !s) {
            endDetail_ = s.message();
            fail(ReceiveEnd::WriteFailed);
            return;
        }
    }
    if (syncer_) syncer_->request();
}

void ReceiveCycle::endNormally(ReceiveEnd why) {
    running_ = false;
    end_ = why;
    Status s = writer_.appendTrailer(state_.live.LiveMax, state_.live.LiveMin);
    // The duration must match the samples: a timed receive cut short (port lost, program closed) records the time
    // it actually ran, like a manual one, and so does one that reached its time waiting for its device.
    if (s && (mode_ == ReceiveMode::Manual || why != ReceiveEnd::TimeReached || gapPending_))
        s = writer_.writeRecord(2, blocks_ > 0 ? lastBlockElapsed_ : 0.0f);
    else if (s)
        s = writer_.writeRecord(2, static_cast<float>(snap_.TotalTime - gapSeconds_));
    if (syncer_) {
        const Status synced = syncer_->finish();
        if (s) s = synced;
    }
    const Status closed = writer_.close();
    if (s) s = closed;
    state_.receive.ManualRunning = true;
    state_.receive.Receiving = false;
    if (!s) {
        end_ = ReceiveEnd::WriteFailed;
        endDetail_ = s.message();
    }
    if (onEnded) onEnded(end_);
}

void ReceiveCycle::fail(ReceiveEnd why) {
    running_ = false;
    end_ = why;
    if (syncer_) (void)syncer_->finish();
    (void)writer_.close();
    state_.receive.ManualRunning = true;
    state_.receive.Receiving = false;
    if (onEnded) onEnded(end_);
}

int ReceiveCycle::completedSyncs() const { return syncer_ ? syncer_->completedSyncs() : 0; }

}  // namespace mervo
