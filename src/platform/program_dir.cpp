#include "platform/program_dir.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

namespace mervo {

QString programDirectory() {
    const QByteArray home = qgetenv("MERVO_HOME");
    if (!home.isEmpty()) return QDir(QString::fromLocal8Bit(home)).absolutePath();
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(QLatin1Char('/'), 0, -2);
}

QString workFilePath(const QString& programDir) { return QDir(programDir).filePath(QStringLiteral("TEMP.MTX")); }

QString settingsFilePath(const QString& programDir) {
    return QDir(programDir).filePath(QStringLiteral("mervo.dft"));
}

QString portLinkPath(int portNo, const QString& programDir) {
    return QDir(programDir).filePath(QStringLiteral("COM%1").arg(portNo));
}

QString devicePathForPort(int portNo, const QString& programDir) {
    const QString link = portLinkPath(portNo, programDir);
    const QFileInfo fi(link);
    if (fi.exists() || fi.isSymLink()) return link;
    return QStringLiteral("/dev/ttyS%1").arg(portNo - 1);
}

Status linkPortDevice(int portNo, const QString& device, const QString& programDir, FileSystem& fs) {
    const QString link = portLinkPath(portNo, programDir);
    const QFileInfo existing(link);
    if (existing.exists() && !existing.isSymLink())
        return Status::failure(
            QStringLiteral("程序目录中的 %1 不是链接，为免丢失其内容，程序不替换它；请先将它移走或改名。")
                .arg(link));
    // The new link gets a name of its own first; symlink() cannot replace, rename() can, in one step.
    const QByteArray target = QFile::encodeName(device);
    QString temp;
    for (int attempt = 0;; ++attempt) {
        temp = QStringLiteral("%1/.COM%2.link-%3")
                   .arg(QFileInfo(link).absolutePath())
                   .arg(portNo)
                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        if (::symlink(target.constData(), QFile::encodeName(temp).constData()) == 0) break;
        const int err = errno;
        if (err == EEXIST && attempt < 8) continue;
        return systemFailure(QStringLiteral("程序目录 %1 中无法建立链接").arg(programDir), err);
    }
    if (Status renamed = fs.rename(temp, link); !renamed) {
        fs.remove(temp);
        return renamed;
    }
    // The link is in place; an unsynced directory only risks it after a power cut, as with every replaced file.
    (void)fs.syncDirectoryOf(link);
    return {};
}

}  // namespace mervo
