#include "printing/assessment_comparison.h"

#include <QFileInfo>
#include <cmath>
#include <optional>

#include "shared/time_split.h"

namespace mervo {

namespace {

using Figure = std::optional<double>;

Figure present(bool has, double v) { return has && std::isfinite(v) ? Figure(v) : std::nullopt; }
Figure finite(const std::optional<double>& v) { return v && std::isfinite(*v) ? v : std::nullopt; }

// Per hour of the span: an energy or a count over spans of different lengths.
Figure perHour(const Assessment& a, double v) {
    const double hours = a.electrical.seconds / 3600.0;
    return present(hours > 0, v / hours);
}

QString figureText(const Figure& v) { return v ? figure(*v) : absentFigure(); }

// After − before with its sign, and its share of the before figure where `relative` and that is not zero.
QString differenceText(const Figure& before, const Figure& after, bool relative) {
    if (!before || !after) return absentFigure();
    const double d = *after - *before;
    QString t = figure(d);
    if (d > 0) t.prepend(QLatin1Char('+'));
    if (relative && std::fabs(*before) > 1e-12) {
        const double share = 100.0 * d / std::fabs(*before);
        t += QStringLiteral("（%1%2 %）").arg(share > 0 ? QStringLiteral("+") : QString()).arg(share, 0, 'f', 1);
    }
    return t;
}

// Short enough for its column, where "第 … 到 … 组" of two six-digit numbers was cut.
QString spanText(const Assessment& a) {
    return QStringLiteral("%1–%2 组").arg(a.electrical.firstNumber).arg(a.electrical.lastNumber);
}

QString powerFactorText(const Assessment& a) {
    const IntervalStats& e = a.electrical;
    if (!std::isfinite(e.powerFactor)) return absentFigure();
    return QStringLiteral("%1 %2").arg(e.powerFactor, 0, 'f', 3).arg(QLatin1String(e.powerFactorIndicator)).trimmed();
}

}  // namespace

QStringList retrofitTableHeader() {
    return {QStringLiteral("项目"), QStringLiteral("改造前"), QStringLiteral("改造后"), QStringLiteral("差值（后 − 前）"),
            QStringLiteral("单位")};
}

QString comparisonRuleText() {
    return QStringLiteral("差值 = 改造后 − 改造前，括号内为相对改造前的变化；两段时长不同，电量与起动次数按每小时比较。"
                          "功率因数只比较数值（L 滞后，C 超前）。");
}

std::vector<ComparisonRow> comparisonRows(const ComparedSide& before, const ComparedSide& after) {
    const Assessment& a = before.assessment;
    const Assessment& b = after.assessment;
    std::vector<ComparisonRow> rows;
    const auto group = [&rows](const QString& title) { rows.push_back({title, {}, {}, {}, {}, true}); };
    const auto text = [&rows](const QString& label, const QString& x, const QString& y, const QString& unit = {}) {
        rows.push_back({label, x, y, QString(), unit, false});
    };
    // A figure of each side by `of`, with the difference.
    const auto add = [&](const QString& label, const auto& of, const QString& unit, bool relative) {
        const Figure x = of(a), y = of(b);
        rows.push_back({label, figureText(x), figureText(y), differenceText(x, y, relative), unit, false});
    };

    group(QStringLiteral("测量"));
    text(QStringLiteral("数据文件"), QFileInfo(before.file.path).fileName(), QFileInfo(after.file.path).fileName());
    text(QStringLiteral("评估范围"), spanText(a), spanText(b));
    text(QStringLiteral("测量开始"), clockText(before.file.header.StartTime), clockText(after.file.header.StartTime));
    add(QStringLiteral("区间时长"), [](const Assessment& s) { return present(true, s.electrical.seconds); },
        QStringLiteral("s"), false);

    group(QStringLiteral("电量（每小时）"));
    add(QStringLiteral("输入有功电量"), [](const Assessment& s) { return perHour(s, s.energyInKwh); },
        QStringLiteral("kWh/h"), true);
    add(QStringLiteral("运行输入电量"),
        [](const Assessment& s) { return s.rated ? perHour(s, s.energyRunningKwh) : std::nullopt; },
        QStringLiteral("kWh/h"), true);
    add(QStringLiteral("输出电量"), [](const Assessment& s) { return s.rated ? perHour(s, s.energyOutKwh) : std::nullopt; },
        QStringLiteral("kWh/h"), true);
    add(QStringLiteral("运行无功电量"),
        [](const Assessment& s) { return s.rated ? perHour(s, s.energyReactiveKvarh) : std::nullopt; },
        QStringLiteral("kvarh/h"), true);
    add(QStringLiteral("运行时间占比"),
        [](const Assessment& s) {
            return s.rated ? present(s.electrical.seconds > 0, 100.0 * s.runningSeconds / s.electrical.seconds)
                           : std::nullopt;
        },
        QStringLiteral("%"), false);

    group(QStringLiteral("效率与负载"));
    add(QStringLiteral("效率"), [](const Assessment& s) { return finite(s.efficiency); }, QStringLiteral("%"), false);
    add(QStringLiteral("综合效率 η_c"), [](const Assessment& s) { return finite(s.comprehensiveEfficiency); },
        QStringLiteral("%"), false);
    text(QStringLiteral("运行区域"), a.zone ? zoneName(*a.zone) : absentFigure(), b.zone ? zoneName(*b.zone) : absentFigure());
    rows.push_back({QStringLiteral("功率因数"), powerFactorText(a), powerFactorText(b),
                    differenceText(present(true, a.electrical.powerFactor), present(true, b.electrical.powerFactor), false),
                    QString(), false});
    add(QStringLiteral("平均负载率"), [](const Assessment& s) { return finite(s.loadRateMean); }, QStringLiteral("%"), false);
    add(QStringLiteral("最大负载率"), [](const Assessment& s) { return finite(s.loadRateMax); }, QStringLiteral("%"), false);
    add(QStringLiteral("起动次数"),
        [](const Assessment& s) { return s.rated ? perHour(s, static_cast<double>(s.starts.size())) : std::nullopt; },
        QStringLiteral("次/h"), false);

    group(QStringLiteral("不平衡与补偿"));
    add(QStringLiteral("电压不平衡，平均"), [](const Assessment& s) { return finite(s.voltageUnbalanceMean); },
        QStringLiteral("%"), false);
    add(QStringLiteral("电流不平衡，平均"), [](const Assessment& s) { return finite(s.currentUnbalanceMean); },
        QStringLiteral("%"), false);
    add(QStringLiteral("补偿容量"), [](const Assessment& s) { return finite(s.compensationKvar); }, QStringLiteral("kvar"),
        false);
    return rows;
}

}  // namespace mervo
