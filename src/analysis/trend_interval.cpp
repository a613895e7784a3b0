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

namespace {

// A row and the figure a comparison takes the difference of (NaN: none is taken).
struct Entry {
    IntervalRow row;
    double compared = std::numeric_limits<double>::quiet_NaN();
};

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

std::vector<Entry> entries(const IntervalStats& st, bool rates) {
    std::vector<Entry> rows;
    const auto add = [&rows](QString label, std::vector<QString> cells, double compared = kNone) {
        rows.push_back({{std::move(label), std::move(cells), false}, compared});
    };
    // The rules first, so a copied or exported table says how its figures were made.
    rows.push_back({{QStringLiteral("规则"), {QStringLiteral("A 到 B 各组（含两端），每组代表测量时间 ÷ 组数")}, true}, kNone});
    rows.push_back({{QStringLiteral("区间值"),
                     {QStringLiteral("平均值；效率 = 输出电量 ÷ 输入电量（运行时）；功率因数 = |Ep| ÷ √(Ep² + Eq²)")}, true},
                    kNone});
    add(QStringLiteral("A 数据号"), {QString::number(st.firstNumber)});
    add(QStringLiteral("B 数据号"), {QString::number(st.lastNumber)});
    add(QStringLiteral("数据组数"), {QString::number(st.samples)});
    add(QStringLiteral("每组时长 (s)"), {number(st.stepSeconds)});
    add(QStringLiteral("Δt (s)"), {number(st.seconds)}, st.seconds);
    for (int k = 0; k < kTrendQuantities; ++k) {
        const auto q = static_cast<TrendQuantity>(k);
        if (isMotorQuantity(q) && !st.motorUsable) continue;
        const TrendQuantityInfo& info = trendQuantityInfo(q);
        QString label = QString::fromUtf8(info.name);
        if (*info.unit) label += QStringLiteral(" (%1)").arg(QString::fromUtf8(info.unit));
        if (q == TrendQuantity::Efficiency) label += QStringLiteral("，运行时");
        const QuantityStats& x = st[q];
        double figure = x.mean;
        if (q == TrendQuantity::PF) figure = st.powerFactor;
        else if (q == TrendQuantity::Efficiency) figure = st.efficiency;
        QString value = number(figure);
        if (q == TrendQuantity::PF && !value.isEmpty()) value += QLatin1Char(' ') + QLatin1String(st.powerFactorIndicator);
        // A mean of no samples is no figure to compare.
        const double compared = x.count > 0 || q == TrendQuantity::PF || q == TrendQuantity::Efficiency ? figure : kNone;
        if (x.count == 0) add(label, {value, QString(), QString()}, compared);
        else add(label, {value, number(x.min), number(x.max)}, compared);
    }
    add(QStringLiteral("有功电量 (kWh)"), {number(st.activeEnergyWh / 1000.0)});
    add(QStringLiteral("无功电量 (kvarh, +L/−C)"), {number(st.reactiveEnergyVarh / 1000.0)});
    if (rates) {
        const double hours = st.seconds / 3600.0;
        const double p = hours > 0 ? st.activeEnergyWh / 1000.0 / hours : kNone;
        const double q = hours > 0 ? st.reactiveEnergyVarh / 1000.0 / hours : kNone;
        add(QStringLiteral("有功电量每小时 (kWh/h)"), {number(p)}, p);
        add(QStringLiteral("无功电量每小时 (kvarh/h)"), {number(q)}, q);
    }
    if (st.motorUsable) {
        add(QStringLiteral("运行时间 (s)"), {number(st.runningSeconds)});
        add(QStringLiteral("低于空载时间 (s)"), {number(st.belowNoLoadSeconds)});
        add(QStringLiteral("发电时间 (s)"), {number(st.generatingSeconds)});
    }
    return rows;
}

}  // namespace

std::vector<IntervalRow> intervalTable(const IntervalStats& st) {
    std::vector<IntervalRow> rows;
    for (Entry& e : entries(st, false)) rows.push_back(std::move(e.row));
    return rows;
}

QStringList comparisonTableHeader() {
    return intervalTableHeader() + QStringList{QStringLiteral("比较：区间值"), QStringLiteral("比较：最小"),
                                               QStringLiteral("比较：最大"), QStringLiteral("差值（比较 − 本文件）")};
}

std::vector<IntervalRow> comparisonTable(const IntervalStats& first, const IntervalStats* second) {
    const std::vector<Entry> a = entries(first, true);
    const std::vector<Entry> b = second ? entries(*second, true) : std::vector<Entry>{};
    // The rows of whichever has more of them (a usable nameplate adds the motor's), the other's matched by label.
    const std::vector<Entry>& order = b.size() > a.size() ? b : a;
    const auto find = [](const std::vector<Entry>& in, const QString& label) -> const Entry* {
        for (const Entry& e : in)
            if (e.row.label == label) return &e;
        return nullptr;
    };
    std::vector<IntervalRow> rows;
    for (const Entry& e : order) {
        if (e.row.rule) {
            rows.push_back(e.row);
            continue;
        }
        const Entry* x = find(a, e.row.label);
        const Entry* y = find(b, e.row.label);
        IntervalRow row{e.row.label, {}, false};
        for (const Entry* side : {x, y}) {
            std::vector<QString> cells = side ? side->row.cells : std::vector<QString>{};
            cells.resize(3);
            row.cells.insert(row.cells.end(), cells.begin(), cells.end());
        }
        const double d = x && y ? y->compared - x->compared : std::numeric_limits<double>::quiet_NaN();
        row.cells.push_back(number(d));
        rows.push_back(std::move(row));
    }
    return rows;
}

QString intervalTableText(const std::vector<IntervalRow>& rows, const QStringList& header) {
    QString text = header.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const IntervalRow& r : rows) {
        text += r.label;
        for (const QString& c : r.cells) text += QLatin1Char('\t') + c;
        text += QLatin1Char('\n');
    }
    return text;
}

}  // namespace mervo
