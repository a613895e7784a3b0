// A new version of a file written beside it and put in its place only once it is complete and on the disk, so that
// a failure or a crash at any moment leaves either the old file or the new one, never a mixture or a stub.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/files.h"

namespace mervo {

class FileReplacement {
public:
    explicit FileReplacement(FileSystem& fs = systemFileSystem()) : fs_(fs) {}
    ~FileReplacement();  // abandons a version that was never committed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Starts the new version of `target` in a hidden file beside it (".NAME.<tag>-XXXXXX").
    Status begin(const QString& target, const QString& tag = QStringLiteral("part"));
    DurableFile& file() { return *file_; }
    // For writers that open the file by name themselves (a PDF writer): the new version's path.
    QString temporaryPath() const { return file_ ? file_->path() : QString(); }
    // Syncs and closes the new version, renames it over the target and syncs the directory. On failure the new
    // version is removed and the target is as it was.
    Status commit();
    // Removes the new version.
    void abandon();

private:
    FileSystem& fs_;
    QString target_;
    std::unique_ptr<DurableFile> file_;
};

// Removes the new versions in `dir` that writers killed before they finished left behind (".NAME.<tag>-XXXXXX"
// of the tags the program writes), passing over those a live writer still holds. Returns how many it removed.
int sweepOrphanTemporaries(const QString& dir);

// Writes the bytes of `source`, read through `fs`, into the new version `out` has begun. `edit`, where given, may
// change each piece (`count` bytes from `offset` of the file) before it is written.
Status copyInto(FileReplacement& out, const QString& source, FileSystem& fs,
                const std::function<void(int64_t offset, char* bytes, size_t count)>& edit = {});

// Copies `source` byte for byte over `destination` through a FileReplacement: the destination is either as it was
// or the whole copy, whatever fails.
Status copyReplacing(const QString& source, const QString& destination, FileSystem& fs = systemFileSystem());

}  // namespace mervo
