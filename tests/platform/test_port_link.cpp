// Pointing a port number at a device: the link COMn is replaced in one step, and nothing else is ever
// replaced.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <grp.h>
#include <unistd.h>

#include "platform/device_access.h"
#include "platform/fake/recording_file_system.h"
#include "platform/program_dir.h"

using namespace mervo;
using Op = RecordingFileSystem::Op;

TEST(PortLink, comNIsReplacedWhenItIsALinkAndRefusedOtherwise) {
    enum class Before { Nothing, Link, File, Folder };
    const struct {
        const char* what;
        Before before;
        bool renameFails;
        bool linked;
        const char* says;  // in a refusal
    } cases[] = {
        {"no COM3 yet", Before::Nothing, false, true, ""},
        {"a link to another device", Before::Link, false, true, ""},
        {"a file someone put there", Before::File, false, false, "不是链接"},
        {"a folder", Before::Folder, false, false, "不是链接"},
        {"the rename fails", Before::Link, true, false, "No space left on device"},
    };
    const QString device = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString com3 = dir.filePath("COM3");
        if (c.before == Before::Link) {
            ASSERT_TRUE(QFile::link("/dev/ttyUSB4", com3));
        }
        if (c.before == Before::Folder) {
            ASSERT_TRUE(QDir(dir.path()).mkdir("COM3"));
        }
        if (c.before == Before::File) {
            QFile f(com3);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("kept");
        }
        RecordingFileSystem fs;
        if (c.renameFails) fs.failAt(Op::Rename, 1);

        const Status s = linkPortDevice(3, device, dir.path(), fs);
        EXPECT_EQ(s.ok(), c.linked);
        EXPECT_TRUE(s.message().contains(QString::fromUtf8(c.says))) << s.message().toStdString();
        const QString was = c.before == Before::Link ? QStringLiteral("/dev/ttyUSB4") : QString();
        EXPECT_EQ(QFile::symLinkTarget(com3), c.linked ? device : was);
        if (c.before == Before::File) {
            QFile f(com3);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), "kept");
        }
        EXPECT_EQ(fs.count(Op::SyncDirectory), c.linked ? 1 : 0);
        const QStringList left =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
        EXPECT_EQ(left, c.before == Before::Nothing && !c.linked ? QStringList() : QStringList{"COM3"})
            << "no temporary link is left behind";
    }
}

TEST(PortLink, aProgramDirectoryThatCannotTakeTheLinkIsRefusedWithTheSystemsReason) {
    QTemporaryDir dir;
    const Status s = linkPortDevice(1, "/dev/ttyUSB0", dir.filePath("missing"));
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(
        s.message().startsWith(QStringLiteral("程序目录 %1 中无法建立链接（").arg(dir.filePath("missing"))))
        << s.message().toStdString();
}

// A user refused a device is told its group and how to join it (the group of the node, through a link).
TEST(PortLink, noPermissionNamesTheDevicesOwnGroup) {
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("ttyUSB9")), link = dir.filePath(QStringLiteral("COM1"));
    QFile f(node);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_TRUE(QFile::link(node, link));
    const struct group* dialout = ::getgrnam("dialout");
    const gid_t gid = dialout ? dialout->gr_gid : 0;
    const QString name = dialout ? QStringLiteral("dialout") : QStringLiteral("root");
    ASSERT_EQ(::chown(QFile::encodeName(node).constData(), static_cast<uid_t>(-1), gid), 0);
    const struct {
        QString device;
        QStringList says;
    } cases[] = {
        {link, {name + QStringLiteral(" 组"), QStringLiteral("sudo usermod -aG ") + name + QStringLiteral(" $USER"),
                QStringLiteral("重新登录")}},
        {dir.filePath(QStringLiteral("gone")), {QStringLiteral("没有使用设备")}},
    };
    for (const auto& c : cases) {
        const QString text = noPermissionText(c.device);
        for (const QString& s : c.says) EXPECT_TRUE(text.contains(s)) << text.toStdString();
    }
    EXPECT_FALSE(noPermissionText(dir.filePath(QStringLiteral("gone"))).contains(QStringLiteral("组")));
}
