#include "measurement/nameplate_rewrite.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <vector>

#include "measurement/file_layout.h"
#include "measurement/reader.h"
#include "platform/file_replacement.h"

namespace mervo {

Status writeNameplate(const QString& path, const std::array<float, 7>& nameplate, FileSystem& fs) {
    for (float v : nameplate)
        if (!std::isfinite(v))
            return Status::failure(QStringLiteral("电机参数无效，无法写入数据文件 %1！").arg(path));
    Result<WriterLock> lock = WriterLock::takeUnlessRecording(path, QStringLiteral("接收结束之前不能写入电机参数。"));
    if (!lock) return lock.status();
    {
        MeasurementReader reader;
        if (Status s = reader.open(path); !s)
            return Status::failure(QStringLiteral("无法写入电机参数：%1").arg(s.message()), s.reason());
    }
    const QDateTime modified = QFileInfo(path).lastModified();
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2）！").arg(path, in.errorString()), in.errorString());
    FileReplacement out(fs);
    if (Status s = out.begin(path, QStringLiteral("nameplate")); !s) return s;
    std::vector<char> chunk(1 << 20);
    int64_t at = 0;
    for (;;) {
        const qint64 n = in.read(chunk.data(), static_cast<qint64>(chunk.size()));
        if (n < 0)
            return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2）！").arg(path, in.errorString()),
                                   in.errorString());
        if (n == 0) break;
        if (at == 0) encodeRecords(nameplate.data(), nameplate.size(),
                                   reinterpret_cast<unsigned char*>(chunk.data()) + recordOffset(3));
        if (Status s = out.file().writeAt(at, chunk.data(), static_cast<size_t>(n)); !s) return s;
        at += n;
    }
    // The test date of a printout is the file's modification time: the new version keeps the old one.
    if (modified.isValid()) {
        QFile copy(out.temporaryPath());
        if (copy.open(QIODevice::ReadWrite)) copy.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    return out.commit();
}

}  // namespace mervo
