#include "measurement/marker_edit.h"

#include <functional>

#include "measurement/reader.h"

namespace mervo {

Result<std::vector<Marker>> changeMarkersInFile(const QString& measurement, const MarkerChange& change,
                                                FileSystem& fs) {
    Result<WriterLock> lock =
        WriterLock::takeUnlessRecording(measurement, QStringLiteral("接收结束之前不能修改标记。"));
    if (!lock) return lock.status();
    float start = 0;
    int64_t samples = 0;
    {
        MeasurementReader reader;
        if (Status s = reader.open(measurement); !s)
            return Status::failure(QStringLiteral("无法修改标记：%1").arg(s.message()), s.reason());
        start = reader.info().header.StartTime;
        samples = reader.info().wholeSamples;
    }
    Result<Sidecar> side = readSidecar(measurement, start);
    if (!side) return side.status();
    if (Status s = change(side->markers, samples); !s) return s;
    if (Status s = writeSidecar(measurement, start, *side, fs); !s) return s;
    return side->markers;
}

Status setMarkerInFile(const QString& measurement, const Marker& marker, FileSystem& fs) {
    return changeMarkersInFile(
               measurement,
               [&](std::vector<Marker>& markers, int64_t samples) {
                   if (marker.sample < 1 || marker.sample > samples)
                       return Status::failure(
                           QStringLiteral("第 %1 组不在数据文件中：数据文件中有第 1 到 %2 组数据！")
                               .arg(marker.sample)
                               .arg(samples));
                   if (marker.text.trimmed().isEmpty())
                       return Status::failure(QStringLiteral("标记的文字不能为空！"));
                   setMarker(markers, marker);
                   return Status();
               },
               fs)
        .status();
}

Status deleteMarkerInFile(const QString& measurement, int64_t sample, FileSystem& fs) {
    return changeMarkersInFile(
               measurement,
               [&](std::vector<Marker>& markers, int64_t) {
                   if (!deleteMarker(markers, sample))
                       return Status::failure(QStringLiteral("第 %1 组没有标记！").arg(sample));
                   return Status();
               },
               fs)
        .status();
}

}  // namespace mervo
