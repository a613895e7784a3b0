// A serial device list that a test fills in.
#pragma once

#include "platform/serial_devices.h"

namespace mervo {

struct FixedSerialDevices : SerialDeviceList {
    std::vector<SerialDeviceInfo> devices;
    std::vector<StableDeviceName> names;

    std::vector<SerialDeviceInfo> ports() const override { return devices; }
    std::vector<StableDeviceName> stableNames() const override { return names; }
};

}  // namespace mervo
