#include "acquisition/receive_session.h"

namespace mervo {

namespace {
// The poll: often enough that a timed receive ends within a tenth of a second of its set time.
constexpr int kPollMs = 100;
}  // namespace

ReceiveSession::ReceiveSession(SharedState& state, const Clock& clock, SerialPort& port, FileSystem& fs)
    : clock_(clock), port_(port), cycle_(state, clock, fs) {
    cycle_.onEnded = [this](ReceiveEnd end) { onCycleEnded(end); };
    // readyRead is not emitted again while its slot runs: drain() takes everything there is.
    connect(&port_, &SerialPort::readyRead, this, &ReceiveSession::drain);
    connect(&port_, &SerialPort::disconnected, this, &ReceiveSession::portLost);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &ReceiveSession::tick);
    reopen_.setInterval(kReopenMs);
    connect(&reopen_, &QTimer::timeout, this, &ReceiveSession::reopen);
}

ReceiveSession::~ReceiveSession() {
    // A receive still running is finished quietly: the file gets its trailer, nobody is told.
    cycle_.onEnded = nullptr;
    if (!cycle_.running()) return;
    cycle_.requestStop();
    port_.close();
}

Status ReceiveSession::start(ReceiveMode mode, const QString& device, const QString& workFile, bool reconnect,
                             StartFailure* failure) {
    auto fail = [&](StartStep step, SerialPort::OpenError kind, const Status& why) {
        port_.close();
        if (failure) *failure = {step, kind};
        return why;
    };
    SerialPort::OpenError kind = SerialPort::OpenError::None;
    if (Status opened = port_.open(device, &kind); !opened) return fail(StartStep::Port, kind, opened);
    port_.discardWaiting();  // bytes sent before the receive began belong to no measurement
    if (Status s = cycle_.start(mode, workFile); !s) return fail(StartStep::WorkFile, SerialPort::OpenError::None, s);
    device_ = device;
    reconnect_ = reconnect;
    waiting_ = false;
    rate_ = rateAt_ = 0;
    rateBlocks_ = 0;
    lastByteAt_ = lastLookAt_ = clock_.monotonicSeconds();
    poll_.start();
    return {};
}

void ReceiveSession::drain() {
    if (!cycle_.running()) return;
    const int64_t before = cycle_.blocks();
    for (;;) {
        const QByteArray b = port_.readAll();
        if (b.isEmpty()) break;
        lastByteAt_ = clock_.monotonicSeconds();
        cycle_.feed(reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size()));
    }
    if (cycle_.blocks() != before) emit blocksArrived();
}

void ReceiveSession::stop() {
    drain();  // every block that has arrived is kept
    cycle_.requestStop();
}

double ReceiveSession::disconnectedSeconds() const { return waiting_ ? clock_.monotonicSeconds() - lostAt_ : 0.0; }

void ReceiveSession::tick() {
    cycle_.poll();
    if (!cycle_.running()) return;
    watchQuietLine();
    if (!cycle_.running()) return;
    const double t = cycle_.elapsed();
    if (t - rateAt_ < 1.0) return;
    rate_ = static_cast<double>(cycle_.blocks() - rateBlocks_) / (t - rateAt_);
    rateAt_ = t;
    rateBlocks_ = cycle_.blocks();
    emit progress();
}

// A hang-up that the port reports with no signal at all leaves a quiet line: once it has been quiet a while, a
// look at the device node (once a second) tells a silent instrument from one that is gone.
void ReceiveSession::watchQuietLine() {
    const double now = clock_.monotonicSeconds();
    if (waiting_ || !port_.isOpen() || now - lastByteAt_ < kQuietBeforeLooking || now - lastLookAt_ < 1.0) return;
    lastLookAt_ = now;
    if (port_.deviceStillThere()) return;
    port_.close();
    portLost(QStringLiteral("设备已断开"));
}

void ReceiveSession::portLost(const QString& why) {
    if (!cycle_.running() || waiting_) return;
    drain();  // what arrived before the loss is kept
    if (!cycle_.running()) return;
    if (!reconnect_) {
        cycle_.portLost(why);
        return;
    }
    port_.close();
    cycle_.deviceLost();
    waiting_ = true;
    lostAt_ = clock_.monotonicSeconds();
    reopen_.start();
    emit progress();
}

// The same name, whatever device it leads to now: a re-plugged adapter comes back under its COMn link or its
// by-id name, though perhaps as another /dev/ttyUSBn. Its bytes are this measurement's from the first one on.
void ReceiveSession::reopen() {
    if (!cycle_.running()) return;
    if (!port_.open(device_)) return;
    reopen_.stop();
    waiting_ = false;
    lastByteAt_ = lastLookAt_ = clock_.monotonicSeconds();
    emit progress();
    drain();
}

void ReceiveSession::onCycleEnded(ReceiveEnd end) {
    poll_.stop();
    reopen_.stop();
    waiting_ = false;
    port_.close();
    emit ended(end);
}

}  // namespace mervo
