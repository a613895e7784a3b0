#include "measurement/admission.h"

#include <QFileInfo>
#include <cmath>

namespace mervo {

QString unreadableForAnalysis(const QString& path, const QString& reason) {
    return QStringLiteral("数据文件 %1 无法读取（%2），无法分析！").arg(path, reason);
}

Result<MeasurementInfo> admitForAnalysis(const QString& path, bool allowNoSamples) {
    const auto refuse = [](const QString& why) { return Status::failure(why); };
    if (!QFileInfo::exists(path)) return refuse(QStringLiteral("数据文件 %1 不存在，无法分析！").arg(path));
    MeasurementReader reader;
    const Status opened = reader.open(path);
    const MeasurementInfo& info = reader.info();
    const auto badLength = [&] {
        return refuse(QStringLiteral("数据文件 %1 的长度（%2 字节）不是完整的数据组，文件已损坏，无法分析！")
                          .arg(path)
                          .arg(info.bytes));
    };
    if (info.shape.condition == FileCondition::TooShort) return badLength();
    if (info.shape.condition == FileCondition::NotMeasurement)
        return refuse(QStringLiteral("数据文件 %1 不是测量数据文件（文件头%2），无法分析！").arg(path, info.headerProblem));
    if (!opened) return refuse(unreadableForAnalysis(path, opened.reason()));
    // Header and whole samples without the trailer (a receive that never ended normally) are analysed too.
    if (info.shape.condition == FileCondition::PartialSample) return badLength();
    // A measurement without samples still has its axes (from its trailer) for a printed report.
    if (info.wholeSamples == 0 && !(allowNoSamples && info.complete))
        return refuse(QStringLiteral("数据文件 %1 中没有测量数据，无法分析！").arg(path));
    const float totalTime = info.header.TotalTime;
    if (!(totalTime > 0.0f) || !std::isfinite(totalTime))
        return refuse(QStringLiteral("数据文件 %1 的测量时间（%2 秒）无效，无法分析！").arg(path).arg(totalTime));
    return info;
}

}  // namespace mervo
