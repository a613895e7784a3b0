#include "files/port_choice.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "platform/files.h"
#include "platform/program_dir.h"

namespace mervo {

std::vector<PresentDevice> presentDevices(const SerialDeviceList& list) {
    std::vector<StableDeviceName> names = list.stableNames();
    std::sort(names.begin(), names.end(),
              [](const StableDeviceName& a, const StableDeviceName& b) { return a.path < b.path; });
    std::vector<PresentDevice> out;
    for (const SerialDeviceInfo& p : list.ports()) {
        PresentDevice d{p.path, p.description.trimmed(), p.serialNumber.trimmed(), {}};
        const QString path = QDir::cleanPath(p.path);
        const auto name = std::find_if(names.begin(), names.end(), [&](const StableDeviceName& n) {
            return QDir::cleanPath(n.target) == path;
        });
        if (name != names.end()) d.stableName = name->path;
        out.push_back(d);
    }
    std::sort(out.begin(), out.end(),
              [](const PresentDevice& a, const PresentDevice& b) { return a.path < b.path; });
    return out;
}

PortReach portReach(int portNo, const QString& programDir, const std::vector<PresentDevice>& devices) {
    const QString path = devicePathForPort(portNo, programDir);
    if (path == portLinkPath(portNo, programDir)) {
        // exists() follows the link to its end: a link to an unplugged adapter's stable name leads nowhere.
        const QFileInfo link(path);
        return {link.isSymLink() ? link.symLinkTarget() : path, link.exists()};
    }
    const bool listed =
        std::any_of(devices.begin(), devices.end(), [&](const PresentDevice& d) { return d.path == path; });
    return {path, listed};
}

QString portItemText(int portNo, const PortReach& reach) {
    // The mark before the path: a long path is cut off at the list's edge, the mark must not be.
    return QStringLiteral("COM%1%2 → %3")
        .arg(portNo)
        .arg(reach.present ? QString() : QStringLiteral("（未连接）"), reach.device);
}

QList<int> portsReaching(const PresentDevice& device, const QString& programDir) {
    QList<int> ports;
    for (int n = 1; n <= kPortCount; ++n)
        if (sameFile(devicePathForPort(n, programDir), device.path)) ports.append(n);
    return ports;
}

QString deviceEntryText(const PresentDevice& device, const QList<int>& ports) {
    QStringList parts{device.path};
    if (!device.description.isEmpty()) parts << device.description;
    if (!device.serialNumber.isEmpty()) parts << QStringLiteral("序列号 %1").arg(device.serialNumber);
    // The numbers before the long stable name, so a narrow list still shows them.
    QStringList coms;
    for (int n : ports) coms << QStringLiteral("COM%1").arg(n);
    if (!coms.isEmpty()) parts << QStringLiteral("已分配为%1").arg(coms.join(QStringLiteral("、")));
    if (!device.stableName.isEmpty())
        parts << QStringLiteral("固定名称 %1").arg(QFileInfo(device.stableName).fileName());
    return parts.join(QStringLiteral("  "));
}

QString assignmentQuestion(int portNo, const QString& target, const QString& programDir) {
    const PortLink now = readPortLink(portNo, programDir);
    if (now.kind != PortLink::Kind::Link ||
        QDir::cleanPath(QDir(programDir).absoluteFilePath(now.target)) == QDir::cleanPath(target))
        return {};
    // Where the link ends now; empty when it leads nowhere (an unplugged adapter's stable name).
    const QString device = QFileInfo(portLinkPath(portNo, programDir)).canonicalFilePath();
    const bool held = !device.isEmpty() && deviceHeldOpen(device);
    if (!held && sameFile(device, target)) return {};
    return QStringLiteral("COM%1 现在连接 %2%3。\r\n确定将 COM%1 改为连接 %4 吗？")
        .arg(portNo)
        .arg(now.target, held ? QStringLiteral("，该设备正在使用中") : QString(), target);
}

Status PortAssignments::assign(int portNo, const QString& target) {
    const PortLink before = readPortLink(portNo, dir_);
    if (Status linked = linkPortDevice(portNo, target, dir_); !linked) return linked;
    // The state before the first change is the one to return to.
    changed_.try_emplace(portNo, Change{before, target}).first->second.target = target;
    return {};
}

Status PortAssignments::undo() {
    QStringList failed;
    for (const auto& [portNo, change] : changed_) {
        const PortLink now = readPortLink(portNo, dir_);
        if (now.kind != PortLink::Kind::Link || now.target != change.target) continue;
        const Status back = change.before.kind == PortLink::Kind::Link
                                ? linkPortDevice(portNo, change.before.target, dir_)
                                : removePortLink(portNo, dir_);
        if (!back) failed << QStringLiteral("COM%1：%2").arg(portNo).arg(back.message());
    }
    changed_.clear();
    if (failed.isEmpty()) return {};
    return Status::failure(failed.join(QStringLiteral("\r\n")));
}

}  // namespace mervo
