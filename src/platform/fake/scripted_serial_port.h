// A serial port that tests feed by hand.
#pragma once

#include "platform/serial_port.h"

namespace mervo {

class ScriptedSerialPort : public SerialPort {
    Q_OBJECT
public:
    using SerialPort::SerialPort;

    bool failOpen = false;
    QString openedDevice;
    QByteArray waiting;  // bytes the port holds
    bool deviceGone = false;  // the device node vanished without a word from the port

    Status open(const QString& device, OpenError* kind = nullptr) override {
        if (failOpen) {
            if (kind) *kind = OpenError::NotFound;
            return Status::failure(QStringLiteral("设备 %1 不存在").arg(device));
        }
        openedDevice = device;
        open_ = true;
        return {};
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    QByteArray readAll() override {
        QByteArray out;
        out.swap(waiting);
        return out;
    }
    void discardWaiting() override { waiting.clear(); }
    bool deviceStillThere() const override { return !deviceGone; }
    // Bytes arrive from the instrument.
    void deliver(const QByteArray& bytes) {
        waiting += bytes;
        emit readyRead();
    }
    void unplug(const QString& why) {
        open_ = false;
        emit disconnected(why);
    }

private:
    bool open_ = false;
};

}  // namespace mervo
