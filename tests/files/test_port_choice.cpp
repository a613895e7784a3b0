// What each port number reaches, and the serial devices offered for one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <unistd.h>

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

// Pointing a number at a device asks first when the number is linked already and would then lead to another
// device, or when the device it leads to is held open; never when nothing would be disturbed.
TEST(PortChoice, assigningAsksBeforeLeadingANumberElsewhereOrAwayFromADeviceInUse) {
    QTemporaryDir dir;
    const QString ttyA = dir.filePath("ttyA"), ttyB = dir.filePath("ttyB"), byIdA = dir.filePath("usb-A-port0");
    for (const QString& device : {ttyA, ttyB}) QFile(device).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(ttyA, byIdA));
    const QString question = "COM1 现在连接 %1%2。\r\n确定将 COM1 改为连接 %3 吗？";
    const struct {
        const char* what;
        QString linkedTo;  // empty: no COM1; "file": a file named COM1
        bool heldOpen;     // ttyA is open
        QString target;
        QString asked;  // empty: no question
    } cases[] = {
        {"no link yet", {}, true, ttyB, {}},
        {"a file named COM1, refused later", "file", true, ttyB, {}},
        {"the same target", ttyA, true, ttyA, {}},
        {"another name of the same idle device", ttyA, false, byIdA, {}},
        {"another name of the same device in use", ttyA, true, byIdA, question.arg(ttyA, "，该设备正在使用中", byIdA)},
        {"another device", ttyA, false, ttyB, question.arg(ttyA, "", ttyB)},
        {"a device in use through its other name", byIdA, true, ttyB, question.arg(byIdA, "，该设备正在使用中", ttyB)},
        {"an unplugged device", dir.filePath("gone"), false, ttyB, question.arg(dir.filePath("gone"), "", ttyB)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString com1 = dir.filePath("COM1");
        QFile::remove(com1);
        if (c.linkedTo == "file") {
            QFile(com1).open(QIODevice::WriteOnly);
        } else if (!c.linkedTo.isEmpty()) {
            ASSERT_TRUE(QFile::link(c.linkedTo, com1));
        }
        QFile held(ttyA);
        if (c.heldOpen) {
            ASSERT_TRUE(held.open(QIODevice::ReadOnly));
        }
        EXPECT_EQ(assignmentQuestion(1, c.target, dir.path()).toStdString(), c.asked.toStdString());
    }
}

// Cancel puts each link back as it was before the window first changed it, a relative one as written; a link
// someone else has changed since is theirs, and links kept stay.
TEST(PortChoice, undoPutsBackTheLinksAsTheyWereBeforeTheFirstChange) {
    QTemporaryDir dir;
    auto com = [&](int n) { return dir.filePath(QStringLiteral("COM%1").arg(n)); };
    ASSERT_TRUE(QFile::link("ttyA", com(2)));
    ASSERT_TRUE(QFile::link("/dev/ttyUSB0", com(3)));
    PortAssignments changes(dir.path());
    for (const auto& [n, target] : {std::pair{1, "/dev/ttyUSB1"}, {2, "/dev/ttyUSB2"}, {2, "/dev/ttyUSB3"},
                                    {3, "/dev/ttyUSB4"}})
        ASSERT_TRUE(changes.assign(n, QString::fromUtf8(target)).ok());
    QFile::remove(com(3));
    ASSERT_TRUE(QFile::link("/dev/ttyUSB9", com(3)));  // mervo-sim --com 3, say
    ASSERT_TRUE(changes.undo().ok());
    EXPECT_FALSE(QFileInfo(com(1)).isSymLink()) << "there was none";
    char written[64] = {};
    ASSERT_GT(::readlink(QFile::encodeName(com(2)).constData(), written, sizeof written - 1), 0);
    EXPECT_STREQ(written, "ttyA");
    EXPECT_EQ(QFile::symLinkTarget(com(3)).toStdString(), "/dev/ttyUSB9");

    ASSERT_TRUE(changes.assign(1, "/dev/ttyUSB1").ok());
    changes.keep();
    ASSERT_TRUE(changes.undo().ok());
    EXPECT_EQ(QFile::symLinkTarget(com(1)).toStdString(), "/dev/ttyUSB1");
}
