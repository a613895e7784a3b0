#include "printing/savings_table.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "shared/spreadsheet_text.h"
#include "shared/number_format.h"
#include "shared/time_split.h"

namespace mervo {

namespace {

QString sourceText(Candidate::Source s) {
    switch (s) {
        case Candidate::Source::Catalogue: return QStringLiteral("目录");
        case Candidate::Source::IE3: return QStringLiteral("IE3 参考");
        case Candidate::Source::IE4: return QStringLiteral("IE4 参考");
    }
    return QString();
}

// An input as the operator typed it: 8000, 0.5703.
QString inputText(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

bool defaultCo2(double co2) { return co2 == SavingsSettings().co2; }

}  // namespace

QString dayClockText(double seconds) {
    const int m = static_cast<int>(std::lround(seconds / 60)) % (24 * 60);
    return QStringLiteral("%1:%2").arg(m / 60, 2, 10, QLatin1Char('0')).arg(m % 60, 2, 10, QLatin1Char('0'));
}

QString motorPriceText(double yuan) { return QString::number(yuan, 'f', QLocale::FloatingPointShortest); }

std::vector<std::pair<QString, QString>> savingsInputLines(const Savings& s) {
    const SavingsSettings& in = s.settings;
    QStringList periods;
    for (const TouPeriod& p : in.periods)
        periods << QStringLiteral("%1 %2～%3 %4")
                       .arg(p.name, dayClockText(p.from), dayClockText(p.to), inputText(p.price));
    const QString co2 = defaultCo2(in.co2)
                            ? QStringLiteral("%1 kg/kWh（%2 年全国电网平均）").arg(inputText(in.co2)).arg(kCo2FactorYear)
                            : QStringLiteral("%1 kg/kWh（默认值 %2 为 %3 年全国电网平均）")
                                  .arg(inputText(in.co2), inputText(SavingsSettings().co2))
                                  .arg(kCo2FactorYear);
    return {
        {QStringLiteral("年运行小时数"), QStringLiteral("%1 h").arg(inputText(in.hours))},
        {QStringLiteral("电价"), in.periods.empty() ? QStringLiteral("%1 元/kWh").arg(inputText(in.price))
                                                    : QStringLiteral("%1 元/kWh（分时时段以外的时间）").arg(inputText(in.price))},
        {QStringLiteral("分时电价"), periods.isEmpty() ? QStringLiteral("无（单一电价）")
                                                       : periods.join(QStringLiteral("；")) + QStringLiteral("（元/kWh）")},
        {QStringLiteral("CO₂ 排放因子"), co2},
        {QStringLiteral("最大需量"), QStringLiteral("%1 分钟平均，每 %2 分钟滑动")
                                         .arg(inputText(in.demandMinutes), inputText(in.demandStepMinutes))},
    };
}

std::vector<AssessmentRow> savingsRows(const Savings& s, const Assessment& a) {
    std::vector<AssessmentRow> rows;
    const auto group = [&rows](const QString& title) { rows.push_back({title, {}, {}, {}, true}); };
    const auto add = [&rows](const QString& label, std::optional<double> v, const QString& unit, const QString& note,
                             const QString& why) {
        if (v && std::isfinite(*v)) rows.push_back({label, figure(*v), unit, note, false});
        else rows.push_back({label, absentFigure(), unit, why, false});
    };
    const SavingsSettings& in = s.settings;
    const QString noMotor = a.motorNote.isEmpty() ? QStringLiteral("无可用的电机参数") : a.motorNote;

    group(QStringLiteral("年值（本次记录代表全年运行）"));
    add(QStringLiteral("折算倍数"), s.scale, QStringLiteral("倍"),
        QStringLiteral("%1 h ÷ 评估区间 %2 s").arg(inputText(in.hours), secondsText(a.electrical.seconds)),
        QStringLiteral("评估区间时长为零"));
    add(QStringLiteral("年用电量"), s.annualEnergyKwh, QStringLiteral("kWh"), QStringLiteral("输入有功电量 × 折算倍数"), {});
    add(QStringLiteral("年电费"), s.annualCost, QStringLiteral("元"),
        in.periods.empty() ? QStringLiteral("电价 %1 元/kWh").arg(inputText(in.price)) : QStringLiteral("按分时电价"), {});
    add(QStringLiteral("年 CO₂ 排放"), s.annualCo2T, QStringLiteral("t"),
        QStringLiteral("排放因子 %1 kg/kWh").arg(inputText(in.co2)), {});
    add(QStringLiteral("年损耗电量"), s.annualLossKwh, QStringLiteral("kWh"),
        QStringLiteral("（运行输入电量 − 输出电量）× 折算倍数"), noMotor);
    add(QStringLiteral("年综合损耗电量"), s.annualComprehensiveLossKwh, QStringLiteral("kWh"),
        QStringLiteral("另计 K_Q × 运行无功电量，K_Q = %1").arg(a.settings.kq), noMotor);

    group(QStringLiteral("最大需量"));
    const QString tooShort = QStringLiteral("评估区间短于 %1 分钟").arg(inputText(in.demandMinutes));
    add(QStringLiteral("最大需量"), s.maxDemandKw, QStringLiteral("kW"),
        QStringLiteral("%1 分钟平均有功功率的最大值").arg(inputText(in.demandMinutes)), tooShort);
    if (s.maxDemandKw) rows.push_back({QStringLiteral("最大需量时段起点"), clockText(s.maxDemandAt), {}, {}, false});
    else rows.push_back({QStringLiteral("最大需量时段起点"), absentFigure(), {}, tooShort, false});

    group(QStringLiteral("更换比较的负载"));
    add(QStringLiteral("第 99 百分位输出功率"), s.outputP99Kw, QStringLiteral("kW"),
        s.undersized ? QStringLiteral("高于额定功率：电机偏小") : QStringLiteral("稳定运行时，不含起动"),
        a.rated ? QStringLiteral("区间内电动机没有稳定运行") : noMotor);
    return rows;
}

QStringList touTableHeader() {
    return {QStringLiteral("时段"), QStringLiteral("电价 (元/kWh)"), QStringLiteral("电量 (kWh)"), QStringLiteral("电费 (元)"),
            QStringLiteral("年电费 (元)")};
}

std::vector<std::array<QString, 5>> touRows(const Savings& s) {
    std::vector<std::array<QString, 5>> rows;
    for (const TouRow& t : s.tou)
        rows.push_back({t.name, inputText(t.price), figure(t.energyKwh), figure(t.cost), figure(t.annualCost)});
    return rows;
}

QStringList candidateTableHeader() {
    return {QStringLiteral("来源"),           QStringLiteral("型号"),          QStringLiteral("额定功率 (kW)"),
            QStringLiteral("额定效率 (%)"),    QStringLiteral("能效等级"),      QStringLiteral("重放电量 (kWh)"),
            QStringLiteral("节电量 (kWh)"),    QStringLiteral("年节电 (kWh)"),  QStringLiteral("年节约 (元)"),
            QStringLiteral("年减排 (t CO₂)"),  QStringLiteral("平均负载率 (%)"), QStringLiteral("过载时间 (s)"),
            QStringLiteral("备注"),           QStringLiteral("价格 (元)"),     QStringLiteral("回收期 (年)")};
}

std::vector<std::array<QString, kCandidateColumns>> candidateRows(const Savings& s) {
    std::vector<std::array<QString, kCandidateColumns>> rows;
    for (const Candidate& c : s.candidates) {
        QStringList remarks;
        if (c.overloaded) remarks << QStringLiteral("过载");
        if (c.noLoadAssumed) remarks << QStringLiteral("P0 为假定值");
        QString payback = absentFigure();
        if (c.paybackYears) payback = figure(*c.paybackYears);
        else if (c.price) payback = QStringLiteral("无节约");
        rows.push_back({sourceText(c.source), c.model, formatCaption(static_cast<float>(c.ratedKw)),
                        figure(c.ratedEfficiency),
                        efficiencyClassText(c.efficiencyClass), figure(c.energyKwh), figure(c.savingKwh),
                        figure(c.annualSavingKwh), figure(c.annualSavingCost), figure(c.annualSavingCo2T),
                        figure(c.loadRateMean), secondsText(c.overloadSeconds), remarks.join(QStringLiteral("；")),
                        c.price ? motorPriceText(*c.price) : QString(), payback});
    }
    return rows;
}

std::vector<std::vector<QString>> assessmentCsvRows(const Assessment& a, const std::optional<Savings>& savings,
                                                    const AssessedFile& f, const PrintHeader& h) {
    std::vector<std::vector<QString>> rows = assessmentCsvRows(a, f, h);
    if (savings) {
        const Savings& s = *savings;
        rows.push_back({});
        rows.push_back({QStringLiteral("节能与更换")});
        for (const auto& [label, text] : savingsInputLines(s)) rows.push_back({label, spreadsheetText(text)});
        rows.push_back({});
        const QStringList header = assessmentTableHeader();
        rows.push_back({header.begin(), header.end()});
        for (const AssessmentRow& r : savingsRows(s, a)) rows.push_back({r.label, r.value, r.unit, r.note});
        if (const auto tou = touRows(s); !tou.empty()) {
            rows.push_back({});
            const QStringList th = touTableHeader();
            rows.push_back({th.begin(), th.end()});
            // A period's name is the operator's text.
            for (const auto& t : tou) {
                rows.push_back({t.begin(), t.end()});
                rows.back()[0] = spreadsheetText(t[0]);
            }
        }
        rows.push_back({});
        const QStringList ch = candidateTableHeader();
        rows.push_back({ch.begin(), ch.end()});
        for (const auto& c : candidateRows(s)) {
            rows.push_back({c.begin(), c.end()});
            rows.back()[1] = spreadsheetText(c[1]);
        }
        if (!s.note.isEmpty()) rows.push_back({QStringLiteral("说明"), s.note});
        rows.push_back({QStringLiteral("计算规则"), savingsRuleText()});
    }
    size_t width = 0;
    for (const auto& r : rows) width = std::max(width, r.size());
    for (auto& r : rows) r.resize(width);
    return rows;
}

}  // namespace mervo
