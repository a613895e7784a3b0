#include "files/settings_file.h"

#include "acquisition/record_scaling.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/file_replacement.h"
#include "shared/number_format.h"
#include "shared/text_parse.h"

namespace mervo {

namespace {

// A whole number in [lo, hi] (halves round to even, as the stored 16-bit values are read back).
std::optional<int16_t> wholeIn(std::optional<double> v, int lo, int hi) {
    if (!v) return std::nullopt;
    const double r = std::nearbyint(*v);
    if (r < lo || r > hi) return std::nullopt;
    return static_cast<int16_t>(r);
}

// A float that is finite and satisfies the predicate.
template <class Pred>
std::optional<float> floatIf(std::optional<double> v, Pred ok) {
    if (!v) return std::nullopt;
    const float f = static_cast<float>(*v);
    if (!std::isfinite(f) || !ok(f)) return std::nullopt;
    return f;
}

}  // namespace

int SettingsReadReport::fallbacks() const {
    int n = 0;
    for (bool used : lineUsed) n += used ? 0 : 1;
    return n;
}

QString SettingsReadReport::problem() const {
    if (!unreadable.isEmpty()) return QStringLiteral("设置文件 mervo.dft 无法读取（%1），已使用初始值。").arg(unreadable);
    if (fileFound && fallbacks() > 0)
        return QStringLiteral("设置文件 mervo.dft 中有 %1 项无法识别，已使用初始值。").arg(fallbacks());
    return QString();
}

SettingsReadReport readSettingsFile(const QString& path, SettingsValues& s, float& totalTime) {
    SettingsReadReport report;
    QList<QByteArray> lines;
    const QFileInfo fi(path);
    ReadOnlyFile f;  // a regular file only: a FIFO named mervo.dft must not hang the program
    if (fi.isDir()) {
        report.unreadable = QStringLiteral("是一个文件夹");
    } else if (const Status opened = f.open(path); opened) {
        // Nine short lines; anything beyond a few kilobytes is not a settings file worth reading further.
        QByteArray text(static_cast<int>(std::min<int64_t>(f.size(), 4096)), '\0');
        if (const Status read = f.readAt(0, text.data(), static_cast<size_t>(text.size())); read) {
            report.fileFound = true;
            lines = text.split('\n');
        } else {
            report.unreadable = read.reason();
        }
    } else if (fi.exists() || fi.isSymLink()) {
        report.unreadable = opened.reason();
    }
    auto line = [&](int i) -> std::optional<double> {
        return i < lines.size() ? numberFromText(QString::fromLatin1(lines[i])) : std::nullopt;
    };
    const SettingsValues initial;
    auto take = [&](int i, auto value, auto fallback, auto& target) {
        report.lineUsed[i] = value.has_value();
        target = value ? *value : fallback;
    };

    take(0, wholeIn(line(0), 1, 8), initial.CommPortNo, s.CommPortNo);
    take(1, wholeIn(line(1), 0, 9), initial.CurveKind, s.CurveKind);  // any of the ten curves
    take(2, floatIf(line(2), [](float v) { return v >= 0; }), initial.TotalTimeSetting, s.TotalTimeSetting);
    take(3, floatIf(line(3), [](float v) { return v > 0; }), initial.CTRatio, s.CTRatio);
    take(4, floatIf(line(4), [](float v) { return v > 0; }), initial.PTRatio, s.PTRatio);
    // A pair that would scale a full-scale block beyond a float is no pair to record with: both fall back.
    if (!ratioPairProblem(s.CTRatio, s.PTRatio).isEmpty()) {
        take(3, std::optional<float>(), initial.CTRatio, s.CTRatio);
        take(4, std::optional<float>(), initial.PTRatio, s.PTRatio);
    }
    take(5, floatIf(line(5), [](float v) { return v == 5 || v == 10 || v == 20; }), initial.SegmentCount,
         s.SegmentCount);
    take(6, wholeIn(line(6), 0, 1), initial.RedOn, s.RedOn);
    take(7, wholeIn(line(7), 0, 1), initial.BlueOn, s.BlueOn);
    take(8, wholeIn(line(8), 0, 1), initial.YellowOn, s.YellowOn);
    totalTime = s.TotalTimeSetting;
    s.recomputeWiringCode();
    return report;
}

QByteArray formatSettings(const SettingsValues& s) {
    const float values[9] = {float(s.CommPortNo), float(s.CurveKind), s.TotalTimeSetting, s.CTRatio, s.PTRatio,
                             s.SegmentCount,      float(s.RedOn),     float(s.BlueOn),     float(s.YellowOn)};
    QByteArray out;
    for (float v : values) out += formatSettingsValue(v).toLatin1() + "\r\n";
    return out;
}

Status writeSettingsFile(const QString& path, const SettingsValues& s, FileSystem& fs) {
    FileReplacement file(fs);
    Status done = file.begin(path);
    const QByteArray text = formatSettings(s);
    if (done) done = file.file().writeAt(0, text.constData(), static_cast<size_t>(text.size()));
    if (done) done = file.commit();
    return done;
}

}  // namespace mervo
