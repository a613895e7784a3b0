// SerialPort over QSerialPort, with a watchdog that notices a hang-up Qt does not report.
#pragma once

#include <QSerialPort>
#include <QTimer>

#include "platform/serial_port.h"

namespace mervo {

class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    Status open(const QString& device, OpenError* kind = nullptr) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    QByteArray readAll() override;
    void discardWaiting() override;
    bool deviceStillThere() const override;

private:
    void lost(const QString& why);
    void onError(QSerialPort::SerialPortError e);
    void checkHangUp();

    QSerialPort port_;
    QTimer watchdog_;
    bool lostReported_ = false;
    int hangUps_ = 0;   // consecutive watchdog checks that saw a hang-up
    QByteArray tail_;   // bytes read out of the port when it was lost, handed over by the next readAll()
    QString openedName_;  // as it was opened: a device node, or a link to one
    QString openedNode_;  // the device node the name led to then
};

}  // namespace mervo
