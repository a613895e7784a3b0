// Pointing a port number at a device: the link COMn is replaced in one step, and nothing else is ever
// replaced.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
