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

    bool open(const QString& device, QString* error, OpenError* kind = nullptr) override {
        if (failOpen) {
            if (error) *error = device + QStringLiteral(": no such device");
            if (kind) *kind = OpenError::NotFound;
            return false;
        }
        openedDevice = device;
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    QByteArray readAll() override {
        QByteArray out;
        out.swap(waiting);
        return out;
    }
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
