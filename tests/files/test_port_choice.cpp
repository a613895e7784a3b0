// What each port number reaches, and the serial devices offered for one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "files/port_choice.h"
#include "platform/fake/fixed_serial_devices.h"
#include "platform/pty.h"

using namespace mervo;

TEST(PortChoice, eachDeviceIsListedWithItsStableNameAndTheNumbersThatReachIt) {
    FixedSerialDevices list;
    list.devices = {{"/dev/ttyUSB1", "CP2102 USB to UART Bridge Controller", " 0001 "},
                    {"/dev/ttyUSB0", "FT232R USB UART", "A50285BI"},
                    {"/dev/ttyACM0", "", ""}};
    list.names = {
        {"/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0", "/dev/ttyUSB1"},
        {"/dev/serial/by-id/usb-Gone_Adapter-if00-port0", "/dev/ttyUSB7"},  // leads to no listed device
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0x", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "/dev/../dev/ttyUSB0"}};
    const struct {
        QList<int> ports;  // handed in as the numbers reaching the device
        const char* entry;
        const char* linkTarget;
    } rows[] = {
        {{}, "/dev/ttyACM0", "/dev/ttyACM0"},
        {{1, 3},
         "/dev/ttyUSB0  FT232R USB UART  序列号 A50285BI  已分配为COM1、COM3  固定名称 "
         "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
        {{8},
         "/dev/ttyUSB1  CP2102 USB to UART Bridge Controller  序列号 0001  已分配为COM8  固定名称 "
         "usb-Silicon_Labs_CP2102-if00-port0",
         "/dev/serial/by-id/usb-Silicon_Labs_CP2102-if00-port0"},
    };
    const std::vector<PresentDevice> devices = presentDevices(list);
    ASSERT_EQ(devices.size(), std::size(rows));
    for (size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(rows[i].entry);
        EXPECT_EQ(deviceEntryText(devices[i], rows[i].ports), QString::fromUtf8(rows[i].entry));
        EXPECT_EQ(devices[i].linkTarget(), QString::fromUtf8(rows[i].linkTarget));
    }
}

// A number is connected when its link leads to a device now, or, without a link, when the system lists its
// built-in port; an unplugged device leaves its link dangling.
TEST(PortChoice, aNumberIsConnectedOnlyWhileItsDeviceIsThere) {
    QTemporaryDir dir;
    auto pty = ByteOutput::openPty();
    auto unplugged = ByteOutput::openPty();
    ASSERT_TRUE(pty && unplugged);
    const QString live = (*pty)->slavePath(), gone = (*unplugged)->slavePath();
    unplugged->reset();
    ASSERT_FALSE(QFile::exists(gone));
    const QString stable = dir.filePath("usb-FTDI-port0"), stableGone = dir.filePath("usb-Gone-port0");
    ASSERT_TRUE(QFile::link(live, stable));
    ASSERT_TRUE(QFile::link(gone, stableGone));
    ASSERT_TRUE(QFile::link(stable, dir.filePath("COM1")));
    ASSERT_TRUE(QFile::link(live, dir.filePath("COM2")));
    ASSERT_TRUE(QFile::link(stableGone, dir.filePath("COM3")));
    ASSERT_TRUE(QFile::link(gone, dir.filePath("COM6")));
    QFile(dir.filePath("COM7")).open(QIODevice::WriteOnly);  // not a link, but there

    const std::vector<PresentDevice> present{{"/dev/ttyS3", {}, {}, {}}, {live, {}, {}, stable}};
    const struct {
        int port;
        QString device;
        bool present;
    } cases[] = {
        {1, stable, true},        {2, live, true},  {3, stableGone, false},          {4, "/dev/ttyS3", true},
        {5, "/dev/ttyS4", false}, {6, gone, false}, {7, dir.filePath("COM7"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        const PortReach reach = portReach(c.port, dir.path(), present);
        EXPECT_EQ(reach.device, c.device);
        EXPECT_EQ(reach.present, c.present);
    }
    EXPECT_EQ(portsReaching(present[1], dir.path()), QList<int>({1, 2}));
}
