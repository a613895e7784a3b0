#include "platform/file_replacement.h"

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

}  // namespace mervo
