#include "platform/qt_core/qt_serial_port.h"

#include <poll.h>

#include <QElapsedTimer>
#include <QFileInfo>

#include "platform/device_access.h"

namespace mervo {

QtSerialPort::QtSerialPort(QObject* parent) : SerialPort(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
    watchdog_.setInterval(250);
    connect(&watchdog_, &QTimer::timeout, this, &QtSerialPort::checkHangUp);
}

QtSerialPort::~QtSerialPort() { close(); }

Status QtSerialPort::open(const QString& device, OpenError* kind) {
    auto fail = [&](OpenError k, const QString& sentence, const QString& why) {
        if (kind) *kind = k;
        return Status::failure(why.isEmpty() ? sentence : QStringLiteral("%1（%2）").arg(sentence, why), why);
    };
    close();
    const QString missing = QStringLiteral("设备 %1 不存在").arg(device);
    if (!QFileInfo::exists(device)) return fail(OpenError::NotFound, missing, QString());
    // A name that is not absolute would be taken for one under /dev ("build/COM1" as /dev/build/COM1).
    port_.setPortName(QFileInfo(device).absoluteFilePath());
    openedName_ = device;
    openedNode_ = QFileInfo(device).canonicalFilePath();
    if (!port_.open(QIODevice::ReadOnly)) {
        const auto e = port_.error();
        const QString why = port_.errorString();
        port_.clearError();
        // Qt says PermissionError both for a device held by another program (its lock) and for one this user may
        // not open; the device node tells them apart.
        if (e == QSerialPort::PermissionError && !deviceReadable(device))
            return fail(OpenError::NoPermission, noPermissionText(device), why);
        if (e == QSerialPort::PermissionError)
            return fail(OpenError::InUse, QStringLiteral("设备 %1 正被其他程序使用").arg(device), why);
        if (e == QSerialPort::DeviceNotFoundError) return fail(OpenError::NotFound, missing, QString());
        return fail(OpenError::Other, QStringLiteral("设备 %1 无法打开").arg(device), why);
    }
    // Modem-line and some termios calls fail on pseudo-terminals; the line settings matter only on real ports.
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(0);
    port_.clearError();
    lostReported_ = false;
    hangUps_ = 0;
    tail_.clear();
    watchdog_.start();
    if (kind) *kind = OpenError::None;
    return {};
}

void QtSerialPort::close() {
    watchdog_.stop();
    if (port_.isOpen()) port_.close();
}

QByteArray QtSerialPort::readAll() {
    QByteArray out;
    out.swap(tail_);
    if (port_.isOpen()) out += port_.readAll();
    return out;
}

void QtSerialPort::discardWaiting() {
    tail_.clear();
    if (!port_.isOpen()) return;
    port_.clear(QSerialPort::Input);
    // The driver's buffer is emptied, but bytes may still be in transit (an adapter's own buffer): read until the
    // line has been quiet for a few character times.
    constexpr int kQuietMs = 30, kLongestMs = 250;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < kLongestMs && port_.waitForReadyRead(kQuietMs)) port_.readAll();
    port_.readAll();
}

bool QtSerialPort::deviceStillThere() const {
    // A link (COMn, a /dev/serial/by-id name) may now lead to another device, or nowhere.
    return !openedNode_.isEmpty() && QFileInfo(openedName_).canonicalFilePath() == openedNode_;
}

void QtSerialPort::lost(const QString& why) {
    if (lostReported_) return;
    lostReported_ = true;
    // Keep what already arrived: the owner reads it while handling the loss.
    if (port_.isOpen()) tail_ += port_.readAll();
    close();
    emit disconnected(why);
}

void QtSerialPort::onError(QSerialPort::SerialPortError e) {
    if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || e == QSerialPort::UnsupportedOperationError)
        return;
    if (!port_.isOpen()) return;
    lost(QStringLiteral("读取出错（%1）").arg(port_.errorString()));
}

void QtSerialPort::checkHangUp() {
    if (!port_.isOpen()) return;
    struct pollfd p {
        static_cast<int>(port_.handle()), POLLIN, 0
    };
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        // A second look a tick later gives the event loop the chance to read what the driver still holds.
        if (++hangUps_ >= 2) lost(QStringLiteral("设备已断开"));
    } else {
        hangUps_ = 0;
    }
}

}  // namespace mervo
