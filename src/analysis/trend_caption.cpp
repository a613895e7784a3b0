#include "analysis/trend_caption.h"

#include <QDateTime>
#include <QFileInfo>
#include <cmath>

#include "motor/nameplate_entry.h"
#include "shared/number_format.h"

namespace mervo {

namespace {

// A clock of seconds since midnight as HH:MM:SS, past midnight from 00:00 again.
QString clockText(double seconds) {
    const int64_t s = static_cast<int64_t>(std::floor(std::fmod(std::fmod(seconds, 86400.0) + 86400.0, 86400.0)));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

QStringList trendCaption(const TrendSource& s, const TrendCaptionInput& in) {
    QStringList lines;
    const QFileInfo file(in.path);
    const double t0 = std::max(in.t0, s.empty() ? 0.0 : s.time(0));
    const double t1 = std::min(in.t1, s.empty() ? 0.0 : s.time(s.size() - 1));
    lines << QStringLiteral("%1　%2　%3 – %4（%5 s – %6 s）")
                 .arg(file.fileName(), file.lastModified().date().toString(QStringLiteral("yyyy-MM-dd")),
                      clockText(s.startClock + t0), clockText(s.startClock + t1), formatCaption(static_cast<float>(t0)),
                      formatCaption(static_cast<float>(t1)));
    static const char* const units[7] = {"极", "kW", "A", "%", "A", "kW", "V"};
    QStringList plate;
    for (size_t k = 0; k < 7; ++k)
        plate << QStringLiteral("%1 %2 %3")
                     .arg(QString::fromUtf8(kNameplateNames[k]), nameplateValueText(in.nameplate[k]),
                          QString::fromUtf8(units[k]));
    lines << QStringLiteral("电机铭牌：") + plate.join(QStringLiteral("，"));
    if (!in.comparedPath.isEmpty())
        lines << QStringLiteral("比较（虚线）：%1").arg(QFileInfo(in.comparedPath).fileName());
    if (!in.markers.empty()) {
        QStringList m;
        for (const Marker& k : in.markers) m << QStringLiteral("%1 第 %2 组").arg(k.text).arg(k.sample);
        lines << QStringLiteral("标记：") + m.join(QStringLiteral("；"));
    }
    return lines;
}

}  // namespace mervo
