#include "platform/program_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

QString devicePathForPort(int portNo, const QString& programDir) {
    const QString link = QDir(programDir).filePath(QStringLiteral("COM%1").arg(portNo));
    const QFileInfo fi(link);
    if (fi.exists() || fi.isSymLink()) return link;
    return QStringLiteral("/dev/ttyS%1").arg(portNo - 1);
}

}  // namespace mervo
