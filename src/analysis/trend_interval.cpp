#include "analysis/trend_interval.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "shared/number_format.h"

namespace mervo {

namespace {

// Enough significant digits to read, without the float noise of the last one or two.
QString number(double v) { return std::isfinite(v) ? formatCaption(static_cast<float>(v)) : QString(); }

}  // namespace

QStringList intervalTableHeader() {
    return {QStringLiteral("项目"), QStringLiteral("区间值"), QStringLiteral("最小"), QStringLiteral("最大")};
}

std::vector<IntervalRow> intervalTable(const IntervalStats& st) {
    std::vector<IntervalRow> rows;
    // The rules first, so a copied or exported table says how its figures were made.
    rows.push_back({QStringLiteral("规则"), {QStringLiteral("A 到 B 各组（含两端），每组代表测量时间 ÷ 组数")}, true});
    rows.push_back({QStringLiteral("区间值"),
                    {QStringLiteral("平均值；效率 = 输出电量 ÷ 输入电量（运行时）；功率因数 = |Ep| ÷ √(Ep² + Eq²)")}, true});
    rows.push_back({QStringLiteral("A 数据号"), {QString::number(st.firstNumber)}});
    rows.push_back({QStringLiteral("B 数据号"), {QString::number(st.lastNumber)}});
    rows.push_back({QStringLiteral("数据组数"), {QString::number(st.samples)}});
    rows.push_back({QStringLiteral("每组时长 (s)"), {number(st.stepSeconds)}});
    rows.push_back({QStringLiteral("Δt (s)"), {number(st.seconds)}});
    for (int k = 0; k < kTrendQuantities; ++k) {
        const auto q = static_cast<TrendQuantity>(k);
        if (isMotorQuantity(q) && !st.motorUsable) continue;
        const TrendQuantityInfo& info = trendQuantityInfo(q);
        QString label = QString::fromUtf8(info.name);
        if (*info.unit) label += QStringLiteral(" (%1)").arg(QString::fromUtf8(info.unit));
        if (q == TrendQuantity::Efficiency) label += QStringLiteral("，运行时");
        const QuantityStats& x = st[q];
        QString value = number(x.mean);
        if (q == TrendQuantity::PF) {
            value = number(st.powerFactor);
            if (!value.isEmpty()) value += QLatin1Char(' ') + QLatin1String(st.powerFactorIndicator);
        } else if (q == TrendQuantity::Efficiency) {
            value = number(st.efficiency);
        }
        if (x.count == 0) rows.push_back({label, {value, QString(), QString()}});
        else rows.push_back({label, {value, number(x.min), number(x.max)}});
    }
    rows.push_back({QStringLiteral("有功电量 (kWh)"), {number(st.activeEnergyWh / 1000.0)}});
    rows.push_back({QStringLiteral("无功电量 (kvarh, +L/−C)"), {number(st.reactiveEnergyVarh / 1000.0)}});
    if (st.motorUsable) {
        rows.push_back({QStringLiteral("运行时间 (s)"), {number(st.runningSeconds)}});
        rows.push_back({QStringLiteral("低于空载时间 (s)"), {number(st.belowNoLoadSeconds)}});
        rows.push_back({QStringLiteral("发电时间 (s)"), {number(st.generatingSeconds)}});
    }
    return rows;
}

QString intervalTableText(const std::vector<IntervalRow>& rows) {
    QString text = intervalTableHeader().join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const IntervalRow& r : rows) {
        text += r.label;
        for (const QString& c : r.cells) text += QLatin1Char('\t') + c;
        text += QLatin1Char('\n');
    }
    return text;
}

}  // namespace mervo
