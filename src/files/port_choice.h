// Which device each port number reaches, and the serial devices present that a number can be pointed at.
#pragma once

#include <QList>
#include <QString>
#include <map>
#include <utility>
#include <vector>

#include "platform/program_dir.h"
#include "platform/serial_devices.h"

namespace mervo {

constexpr int kPortCount = 8;  // COM1..COM8

// A serial device present, with its stable name under /dev/serial/by-id when it has one.
struct PresentDevice {
    QString path, description, serialNumber;
    QString stableName;
    // What a port link should lead to: the stable name survives re-plugging, the device path may change.
    const QString& linkTarget() const { return stableName.isEmpty() ? path : stableName; }
};

// The listed devices, each with the stable name that resolves to it (the first by name when several do), in
// the order of their paths.
std::vector<PresentDevice> presentDevices(const SerialDeviceList& list);

// What port n reaches: for a link COMn, where it points (one step, as it was set) and whether a device is at
// its end; otherwise /dev/ttyS{n-1}, present when the system lists it (its node is there even without a
// port).
struct PortReach {
    QString device;
    bool present = false;
};
PortReach portReach(int portNo, const QString& programDir, const std::vector<PresentDevice>& devices);

// "COM2 → /dev/ttyUSB0", or "COM2（未连接） → /dev/ttyUSB0" when nothing is there.
QString portItemText(int portNo, const PortReach& reach);

// The port numbers that reach `device` now.
QList<int> portsReaching(const PresentDevice& device, const QString& programDir);

// One line of the device list:
// "/dev/ttyUSB0  FT232R USB UART  序列号 A50285BI  已分配为COM1  固定名称 usb-FTDI_…-port0".
QString deviceEntryText(const PresentDevice& device, const QList<int>& ports);

// The question to put to the operator before port n is pointed at `target`: when COMn is a link already and
// would then lead to another device, or its device is held open now. Empty when nothing would be disturbed (no
// link yet, the same target, or another name of the same idle device).
QString assignmentQuestion(int portNo, const QString& target, const QString& programDir);

// The port links pointed at devices while a window is open, so that its Cancel can put them back.
class PortAssignments {
  public:
    explicit PortAssignments(QString programDir) : dir_(std::move(programDir)) {}

    // Points port n at `target`, having noted what COMn was before the first change.
    Status assign(int portNo, const QString& target);
    // Puts each link changed back as it was; one that someone else has changed since is left alone. What failed.
    Status undo();
    // The links stay as they are now.
    void keep() { changed_.clear(); }

  private:
    struct Change {
        PortLink before;
        QString target;  // what this window made COMn lead to
    };
    QString dir_;
    std::map<int, Change> changed_;
};

}  // namespace mervo
