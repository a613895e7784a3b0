// One receive from a serial port, as the main window and the command line both run it: the port opened and the
// bytes that were waiting thrown away, every byte drained into the receive cycle as it arrives, a device that went
// away noticed (by the port's signal, or by a watchdog when the line has gone quiet and its device node is gone),
// the poll that ends a timed receive and keeps the file synced, and the blocks-per-second rate.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "acquisition/receive_cycle.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/serial_port.h"
#include "shared/result.h"
#include "shared/shared_state.h"

namespace mervo {

class ReceiveSession : public QObject {
    Q_OBJECT
public:
    ReceiveSession(SharedState& state, const Clock& clock, SerialPort& port, FileSystem& fs = systemFileSystem());
    ~ReceiveSession() override;

    // Where a start failed: the port could not be opened, or the working file could not be made.
    enum class StartStep { Port, WorkFile };
    struct StartFailure {
        StartStep step = StartStep::Port;
        SerialPort::OpenError openError = SerialPort::OpenError::None;
    };

    // Opens `device`, throws away what was waiting in it and starts the cycle into `workFile`. On failure the port
    // is closed again and `failure` (when given) says at which step. The bytes that arrive from now on are drained
    // into the cycle; call drain() once whatever follows the blocks is ready. With `reconnect`, a device that goes
    // away is waited for under the same name (a COMn link, a /dev/serial/by-id name, a path) while the recording
    // stays open, and the receive goes on in the same measurement when it is back; otherwise its loss ends the run.
    Status start(ReceiveMode mode, const QString& device, const QString& workFile, bool reconnect = false,
                 StartFailure* failure = nullptr);
    // Every byte the port holds, into the cycle.
    void drain();
    // The stop button, Esc, a stop signal or the program closing: the bytes already here are taken, then the run
    // ends normally.
    void stop();

    bool running() const { return cycle_.running(); }
    ReceiveCycle& cycle() { return cycle_; }
    const ReceiveCycle& cycle() const { return cycle_; }
    const QString& device() const { return device_; }
    // Blocks a second over the last second counted (0 before the first second).
    double blocksPerSecond() const { return rate_; }
    // Whether the device has gone and the receive waits for it; for how many seconds so far.
    bool waitingForDevice() const { return waiting_; }
    double disconnectedSeconds() const;

    // Seconds without a byte after which the watchdog looks whether the device is still there.
    static constexpr double kQuietBeforeLooking = 2.0;
    // How often a device that went away is looked for.
    static constexpr int kReopenMs = 250;

signals:
    // After bytes were drained and at least one more block was processed.
    void blocksArrived();
    // Once a second while running, after the rate was counted; at once when the device goes or comes back.
    void progress();
    // Once, when the run has ended by any path; the port is closed by then.
    void ended(ReceiveEnd end);

private:
    void tick();
    void portLost(const QString& why);
    void watchQuietLine();
    void reopen();
    void onCycleEnded(ReceiveEnd end);

    const Clock& clock_;
    SerialPort& port_;
    ReceiveCycle cycle_;
    QTimer poll_, reopen_;
    QString device_;
    bool reconnect_ = false, waiting_ = false;
    double lostAt_ = 0;  // monotonic seconds
    double rate_ = 0, rateAt_ = 0;
    int64_t rateBlocks_ = 0;
    double lastByteAt_ = 0, lastLookAt_ = 0;  // monotonic seconds
};

}  // namespace mervo
