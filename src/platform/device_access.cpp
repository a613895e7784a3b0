#include "platform/device_access.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace mervo {

bool deviceReadable(const QString& device) { return ::access(QFile::encodeName(device).constData(), R_OK) == 0; }

QString deviceGroup(const QString& device) {
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0) return QString();
    const struct group* g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
}

QString noPermissionText(const QString& device) {
    const QString group = deviceGroup(device);
    if (group.isEmpty()) return QStringLiteral("没有使用设备 %1 的权限").arg(device);
    return QStringLiteral("没有使用设备 %1 的权限：该设备属于 %2 组。请执行 sudo usermod -aG %2 $USER，"
                          "然后注销并重新登录（已登录的会话不会得到新加入的组）")
        .arg(device, group);
}

}  // namespace mervo
