// The system's serial devices: what QSerialPortInfo finds, and the links under /dev/serial/by-id.
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include "platform/serial_devices.h"

namespace mervo {

namespace {

class SystemSerialDevices : public SerialDeviceList {
  public:
    std::vector<SerialDeviceInfo> ports() const override {
        std::vector<SerialDeviceInfo> out;
        for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts())
            out.push_back({p.systemLocation(), p.description(), p.serialNumber()});
        return out;
    }

    std::vector<StableDeviceName> stableNames() const override {
        std::vector<StableDeviceName> out;
        const QDir byId(QStringLiteral("/dev/serial/by-id"));
        for (const QFileInfo& link :
             byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
            // The links are relative ("../../ttyUSB0"); the canonical path is the device itself.
            const QString target = link.canonicalFilePath();
            if (!target.isEmpty()) out.push_back({link.absoluteFilePath(), target});
        }
        return out;
    }
};

}  // namespace

const SerialDeviceList& systemSerialDevices() {
    static const SystemSerialDevices list;
    return list;
}

}  // namespace mervo
