#include "measurement/nameplate_rewrite.h"

#include <QDateTime>
#include <QFileInfo>
#include <cmath>

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
    FileReplacement out(fs);
    if (Status s = out.begin(path, QStringLiteral("nameplate")); !s) return s;
    const Status copied = copyInto(out, path, fs, [&](int64_t offset, char* bytes, size_t) {
        if (offset == 0)
            encodeRecords(nameplate.data(), nameplate.size(),
                          reinterpret_cast<unsigned char*>(bytes) + recordOffset(3));
    });
    if (!copied) return copied;
    // The test date of a printout is the file's modification time: the new version keeps the old one.
    if (modified.isValid())
        if (Status s = out.file().setModificationTime(modified); !s) return s;
    return out.commit();
}

}  // namespace mervo
