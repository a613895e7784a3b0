// The instrument's serial line: 9600 baud, 8 data bits, no parity, one stop bit, read only.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "shared/result.h"

namespace mervo {

class SerialPort : public QObject {
    Q_OBJECT
public:
    enum class OpenError { None, NotFound, InUse, NoPermission, Other };

    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens a device by path; on failure says why in words and, when asked, as a kind.
    virtual Status open(const QString& device, OpenError* kind = nullptr) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Returns and removes every byte waiting.
    virtual QByteArray readAll() = 0;
    // Throws away what the port holds and what is still on its way, until the line has been quiet for a moment
    // (at most a quarter of a second): bytes sent before a receive began belong to no measurement.
    virtual void discardWaiting() = 0;
    // Whether the device opened last is still where it was opened: false once its node has gone (unplugged, a
    // pseudo-terminal's other side closed) or its name now leads to another device.
    virtual bool deviceStillThere() const = 0;

signals:
    void readyRead();
    // The device went away (unplugged, hung up, read error). Emitted once; the port is closed by then.
    void disconnected(const QString& why);
};

}  // namespace mervo
