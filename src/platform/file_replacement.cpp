#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace mervo {

FileReplacement::~FileReplacement() { abandon(); }

Status FileReplacement::begin(const QString& target, const QString& tag) {
    abandon();
    target_ = target;
    auto created = fs_.createBeside(target, tag);
    if (!created) return created.status();
    file_ = std::move(*created);
    return {};
}

Status FileReplacement::commit() {
    if (!file_) return Status::failure(QStringLiteral("文件 %1 没有可替换的新内容").arg(target_));
    // The data must be on the disk before the name points at it, or a power cut could leave the name on an
    // empty file.
    Status s = file_->sync();
    if (s) s = file_->close();
    if (s) s = fs_.rename(file_->path(), target_);
    if (!s) {
        abandon();
        return s;
    }
    file_.reset();
    // The rename has happened and the data is safe; a directory that cannot be synced only risks the new name
    // after a power cut, which is no reason to tell the operator the file was not written.
    (void)fs_.syncDirectoryOf(target_);
    return {};
}

void FileReplacement::abandon() {
    if (!file_) return;
    (void)file_->close();
    fs_.remove(file_->path());
    file_.reset();
}

Status copyInto(FileReplacement& out, const QString& source, FileSystem& fs,
                const std::function<void(int64_t offset, char* bytes, size_t count)>& edit) {
    ReadOnlyFile in;
    if (Status s = in.open(source); !s) return s;
    std::vector<char> chunk(1 << 20);
    for (int64_t at = 0; at < in.size();) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk.size()), in.size() - at));
        if (Status s = fs.read(in, at, chunk.data(), n); !s) return s;
        if (edit) edit(at, chunk.data(), n);
        if (Status s = out.file().writeAt(at, chunk.data(), n); !s) return s;
        at += static_cast<int64_t>(n);
    }
    return {};
}

Status copyReplacing(const QString& source, const QString& destination, FileSystem& fs) {
    FileReplacement out(fs);
    if (Status s = out.begin(destination); !s) return s;
    if (Status s = copyInto(out, source, fs); !s) return s;
    return out.commit();
}

int sweepOrphanTemporaries(const QString& dir) {
    // The tags of the program's own writers: a file saved, a recording recovered, a nameplate or a sidecar written.
    static const QRegularExpression ours(QStringLiteral("^\\..+\\.(part|recover|nameplate|side)-[A-Za-z0-9]{6}$"));
    int removed = 0;
    const QDir here(dir);
    for (const QString& name : here.entryList({QStringLiteral(".*-??????")}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!ours.match(name).hasMatch()) continue;
        const QByteArray path = QFile::encodeName(here.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // Only a regular file whose writer is gone: a live one holds its lock.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

}  // namespace mervo
