// The serial devices present on this machine, as the system lists them: the settings window offers them for a
// port number. Tests hand the window a fixed list instead.
#pragma once

#include <QString>
#include <vector>

namespace mervo {

struct SerialDeviceInfo {
    QString path;                       // "/dev/ttyUSB0"
    QString description, serialNumber;  // as the adapter reports them; either may be empty
};

// A stable name under /dev/serial/by-id and the device it leads to now. The name stays the same when the
// adapter is plugged in again, the device path may not.
struct StableDeviceName {
    QString path;    // "/dev/serial/by-id/usb-…-port0"
    QString target;  // the device the link resolves to, "/dev/ttyUSB0"
};

class SerialDeviceList {
  public:
    virtual ~SerialDeviceList() = default;
    virtual std::vector<SerialDeviceInfo> ports() const = 0;
    virtual std::vector<StableDeviceName> stableNames() const = 0;
};

// The system's list (pseudo-terminals are not in it: they are reached by path).
const SerialDeviceList& systemSerialDevices();

}  // namespace mervo
