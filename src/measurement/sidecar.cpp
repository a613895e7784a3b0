#include "measurement/sidecar.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

#include "platform/file_replacement.h"

namespace mervo {

namespace {

// Far more than any gaps and markers need; a larger file is no sidecar of ours and is not read into memory.
constexpr int64_t kLargestSidecar = 16 << 20;

bool wholeNumber(const QJsonValue& v, int64_t least, int64_t* out) {
    if (!v.isDouble()) return false;
    const double d = v.toDouble();
    if (!(d >= static_cast<double>(least)) || d > 9.0e15 || d != std::floor(d)) return false;
    *out = static_cast<int64_t>(d);
    return true;
}

Status damaged(const QString& why) { return Status::failure(why); }

}  // namespace

QString sidecarPath(const QString& measurement) { return measurement + QStringLiteral(".side"); }

QByteArray sidecarText(const Sidecar& sidecar, float startTime) {
    QJsonArray gaps, markers;
    for (const ReceiveGap& g : sidecar.gaps.list())
        gaps.append(QJsonObject{{QStringLiteral("after_sample"), static_cast<qint64>(g.afterSample)},
                                {QStringLiteral("seconds"), g.seconds}});
    for (const Marker& m : sidecar.markers)
        markers.append(QJsonObject{{QStringLiteral("sample"), static_cast<qint64>(m.sample)},
                                   {QStringLiteral("text"), m.text}});
    const QJsonObject o{{QStringLiteral("start_time"), static_cast<double>(startTime)},
                        {QStringLiteral("gaps"), gaps},
                        {QStringLiteral("markers"), markers}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

Result<Sidecar> parseSidecar(const QByteArray& text, float startTime) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) return damaged(error.errorString());
    if (!doc.isObject()) return damaged(QStringLiteral("不是一个对象"));
    const QJsonObject o = doc.object();
    const QJsonValue start = o.value(QStringLiteral("start_time"));
    if (!start.isDouble()) return damaged(QStringLiteral("缺少开始时间"));
    Sidecar s;
    // Another recording's: the file beside it was replaced without it.
    if (static_cast<float>(start.toDouble()) != startTime) return s;
    const QJsonValue gaps = o.value(QStringLiteral("gaps")), markers = o.value(QStringLiteral("markers"));
    if (!(gaps.isArray() || gaps.isUndefined()) || !(markers.isArray() || markers.isUndefined()))
        return damaged(QStringLiteral("断开记录或标记不是列表"));
    std::vector<ReceiveGap> gapList;
    for (const QJsonValue& v : gaps.toArray()) {
        ReceiveGap g;
        const QJsonValue seconds = v.toObject().value(QStringLiteral("seconds"));
        g.seconds = seconds.toDouble(-1);
        if (!wholeNumber(v.toObject().value(QStringLiteral("after_sample")), 0, &g.afterSample) || !seconds.isDouble() ||
            !(g.seconds >= 0) || !std::isfinite(g.seconds))
            return damaged(QStringLiteral("第 %1 项断开记录无效").arg(gapList.size() + 1));
        gapList.push_back(g);
    }
    s.gaps = ReceiveGaps(std::move(gapList));
    for (const QJsonValue& v : markers.toArray()) {
        Marker m;
        const QJsonValue text = v.toObject().value(QStringLiteral("text"));
        if (!wholeNumber(v.toObject().value(QStringLiteral("sample")), 1, &m.sample) || !text.isString())
            return damaged(QStringLiteral("第 %1 项标记无效").arg(s.markers.size() + 1));
        m.text = text.toString();
        setMarker(s.markers, m);
    }
    return s;
}

void setMarker(std::vector<Marker>& markers, const Marker& m) {
    const auto at = std::lower_bound(markers.begin(), markers.end(), m.sample,
                                     [](const Marker& x, int64_t sample) { return x.sample < sample; });
    if (at != markers.end() && at->sample == m.sample) at->text = m.text;
    else markers.insert(at, m);
}

bool deleteMarker(std::vector<Marker>& markers, int64_t sample) {
    const auto at = std::find_if(markers.begin(), markers.end(), [sample](const Marker& x) { return x.sample == sample; });
    if (at == markers.end()) return false;
    markers.erase(at);
    return true;
}

std::vector<Marker> markersWithin(const std::vector<Marker>& markers, int64_t from, int64_t to) {
    std::vector<Marker> within;
    for (const Marker& m : markers)
        if (m.sample >= from && m.sample <= to) within.push_back(m);
    return within;
}

std::vector<Marker> measurementMarkers(const QString& measurement, float startTime) {
    Result<Sidecar> s = readSidecar(measurement, startTime);
    return s ? s->markers : std::vector<Marker>{};
}

Result<Sidecar> readSidecar(const QString& measurement, float startTime) {
    const QString path = sidecarPath(measurement);
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink()) return Sidecar{};
    const auto refuse = [&](const QString& why) {
        return Status::failure(QStringLiteral("附属文件 %1 无法使用（%2）").arg(path, why), why);
    };
    ReadOnlyFile f;
    if (Status s = f.open(path); !s) return refuse(s.reason());
    if (f.size() > kLargestSidecar) return refuse(QStringLiteral("文件过大"));
    QByteArray text(static_cast<int>(f.size()), '\0');
    if (Status s = f.readAt(0, text.data(), static_cast<size_t>(text.size())); !s) return refuse(s.reason());
    Result<Sidecar> parsed = parseSidecar(text, startTime);
    if (!parsed) return refuse(parsed.message());
    return parsed;
}

ReceiveGaps measurementGaps(const QString& measurement, float startTime, QString* warning) {
    Result<Sidecar> s = readSidecar(measurement, startTime);
    if (s) return s->gaps;
    if (warning) *warning = s.message() + QStringLiteral("：时间按接收没有中断计算。");
    return {};
}

Status writeSidecar(const QString& measurement, float startTime, const Sidecar& sidecar, FileSystem& fs) {
    if (sidecar.empty()) return removeSidecar(measurement, fs);
    FileReplacement out(fs);
    const QString path = sidecarPath(measurement);
    if (Status s = out.begin(path, QStringLiteral("side")); !s) return s;
    const QByteArray text = sidecarText(sidecar, startTime);
    if (Status s = out.file().writeAt(0, text.constData(), static_cast<size_t>(text.size())); !s) return s;
    return out.commit();
}

Status carrySidecar(const QString& source, const QString& destination, FileSystem& fs) {
    const QString from = sidecarPath(source);
    if (QFileInfo(from).isFile()) return copyReplacing(from, sidecarPath(destination), fs);
    return removeSidecar(destination, fs);
}

Status removeSidecar(const QString& measurement, FileSystem& fs) {
    const QString path = sidecarPath(measurement);
    const QFileInfo fi(path);
    if (!fi.exists() && !fi.isSymLink()) return {};
    fs.remove(path);
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        return Status::failure(QStringLiteral("附属文件 %1 无法删除").arg(path));
    return fs.syncDirectoryOf(path);
}

}  // namespace mervo
