#include "platform/program_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/file_replacement.h"

// The installed catalogue's folder as seen from the installed executables; the build passes its install layout.
#ifndef MERVO_SHARE_FROM_BIN
#define MERVO_SHARE_FROM_BIN "../share/mervo"
#endif

namespace mervo {

const char kCategoryFileName[] = "MT_fe.txt";
const char kModelFileName[] = "bmindex.txt";
const char kNameplateFileName[] = "MTALL.OBJ";

QStringList catalogueFileNames() {
    return {QLatin1String(kCategoryFileName), QLatin1String(kModelFileName), QLatin1String(kNameplateFileName)};
}

namespace {

bool holdsCatalogue(const QString& dir) {
    const QStringList names = catalogueFileNames();
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return QFileInfo(QDir(dir).filePath(name)).isFile(); });
}

QString executableDirectory() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(QLatin1Char('/'), 0, -2);
}

// $XDG_DATA_HOME when it is an absolute path (a relative one is to be ignored), otherwise ~/.local/share.
QString dataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg)) return xdg;
    return QDir::home().filePath(QStringLiteral(".local/share"));
}

}  // namespace

QString chooseProgramDirectory(const ProgramDirPlaces& places, const std::function<bool(const QString&)>& writable) {
    if (!places.home.isEmpty()) return QDir(places.home).absolutePath();
    const QString shared = QDir::cleanPath(QDir(places.exeDir).filePath(QStringLiteral(MERVO_SHARE_FROM_BIN)));
    // Root may write into /usr/bin, but an installed program must not keep its recordings there.
    const bool installed = !holdsCatalogue(places.exeDir) && holdsCatalogue(shared);
    if (!installed && writable(places.exeDir)) return places.exeDir;

    const QString dir = QDir(places.dataHome).filePath(QStringLiteral("mervo"));
    if (!QDir().mkpath(dir)) {
        // Whatever is then written there fails with its own message; nothing more to do here.
        qWarning("cannot create the program directory %s", qPrintable(dir));
        return dir;
    }
    for (const QString& name : catalogueFileNames()) {
        const QString target = QDir(dir).filePath(name);
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) continue;
        for (const QString& from : {places.exeDir, shared}) {
            const QString source = QDir(from).filePath(name);
            if (!QFileInfo(source).isFile()) continue;
            if (Status s = copyReplacing(source, target); !s)
                qWarning("cannot copy %s into %s: %s", qPrintable(source), qPrintable(dir), qPrintable(s.message()));
            break;
        }
    }
    return dir;
}

QString programDirectory() {
    const ProgramDirPlaces places{qEnvironmentVariable("MERVO_HOME"), executableDirectory(), dataHome()};
    return chooseProgramDirectory(places, [](const QString& dir) {
        return ::access(QFile::encodeName(dir).constData(), W_OK) == 0;
    });
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

PortLink readPortLink(int portNo, const QString& programDir) {
    const QByteArray link = QFile::encodeName(portLinkPath(portNo, programDir));
    struct stat st {};
    if (::lstat(link.constData(), &st) != 0) return {};
    if (!S_ISLNK(st.st_mode)) return {PortLink::Kind::Other, {}};
    // As written, so that a link put back reads exactly as it did (a relative one stays relative).
    QByteArray target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(link.constData(), target.data(), static_cast<size_t>(target.size()));
    if (n < 0) return {PortLink::Kind::Other, {}};
    target.truncate(static_cast<int>(n));
    return {PortLink::Kind::Link, QFile::decodeName(target)};
}

Status removePortLink(int portNo, const QString& programDir, FileSystem& fs) {
    const QString link = portLinkPath(portNo, programDir);
    if (readPortLink(portNo, programDir).kind != PortLink::Kind::Link) return {};
    fs.remove(link);
    if (QFileInfo(link).isSymLink())
        return Status::failure(QStringLiteral("程序目录中的链接 %1 无法删除").arg(link));
    (void)fs.syncDirectoryOf(link);
    return {};
}

bool deviceHeldOpen(const QString& device) {
    struct stat want {};
    if (::stat(QFile::encodeName(device).constData(), &want) != 0) return false;
    // A device node is known by its device number (another node may name it); anything else by its inode.
    auto same = [&](const struct stat& st) {
        if (S_ISCHR(want.st_mode) || S_ISBLK(want.st_mode))
            return (st.st_mode & S_IFMT) == (want.st_mode & S_IFMT) && st.st_rdev == want.st_rdev;
        return st.st_dev == want.st_dev && st.st_ino == want.st_ino;
    };
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    bool held = false;
    while (!held) {
        const dirent* p = ::readdir(proc);
        if (!p) break;
        if (p->d_name[0] < '1' || p->d_name[0] > '9') continue;
        const QByteArray fdDir = QByteArray("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.constData());
        if (!fds) continue;  // another user's process, or one that has just ended
        while (!held) {
            const dirent* f = ::readdir(fds);
            if (!f) break;
            struct stat st {};
            // stat follows the descriptor's link to what is open, without opening it again.
            held = f->d_name[0] != '.' && ::fstatat(::dirfd(fds), f->d_name, &st, 0) == 0 && same(st);
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return held;
}

}  // namespace mervo
