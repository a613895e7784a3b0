#include "printing/assessment_table.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "measurement/reader.h"
#include "motor/nameplate_entry.h"
#include "shared/spreadsheet_text.h"
#include "shared/time_split.h"

namespace mervo {

// Four significant digits, never in exponent form: 134.9, 0.003583, 85387, 50.00.
QString figure(double v) {
    if (!std::isfinite(v)) return absentFigure();
    const double m = std::fabs(v);
    if (m < 5e-7) return QStringLiteral("0");
    const int decimals = std::clamp(3 - static_cast<int>(std::floor(std::log10(m))), 0, 6);
    return QString::number(v, 'f', decimals);
}

// Seconds to the hundredth, as the clock of a start reads.
QString secondsText(double v) { return std::isfinite(v) ? QString::number(v, 'f', 2) : absentFigure(); }

QString efficiencyClassText(const EfficiencyClass& c) {
    if (!c.covered) return absentFigure();
    return c.ieClass == 0 ? QStringLiteral("低于 IE1") : QStringLiteral("IE%1").arg(c.ieClass);
}

namespace {

// A duration in seconds, and in hours where that reads better.
QString hoursNote(double seconds) {
    return seconds >= 3600 ? QStringLiteral("约 %1 h").arg(figure(seconds / 3600.0)) : QString();
}

struct Rows {
    std::vector<AssessmentRow> rows;
    void group(const QString& title) { rows.push_back({title, {}, {}, {}, true}); }
    // A figure, or the absent mark with `why`.
    void add(const QString& label, std::optional<double> v, const QString& unit, const QString& note,
             const QString& why) {
        if (v && std::isfinite(*v))
            rows.push_back({label, unit == QLatin1String("s") ? secondsText(*v) : figure(*v), unit, note, false});
        else rows.push_back({label, absentFigure(), unit, why, false});
    }
    void text(const QString& label, const QString& value, const QString& unit, const QString& note) {
        rows.push_back({label, value, unit, note, false});
    }
};

std::optional<double> when(bool present, double v) { return present ? std::optional<double>(v) : std::nullopt; }

// The display name of a band of the load profile: "0～25 %", "115 % 以上", "低于空载" …
QString bandText(const QString& name) {
    if (name == QLatin1String("below_no_load")) return QStringLiteral("低于空载");
    if (name == QLatin1String("generating")) return QStringLiteral("发电");
    if (name == QLatin1String("starting")) return QStringLiteral("起动");
    if (name.endsWith(QLatin1Char('+'))) return QStringLiteral("%1 % 以上").arg(name.chopped(1));
    return QStringLiteral("%1 %").arg(QString(name).replace(QLatin1Char('-'), QStringLiteral("～")));
}

bool isLoadBand(const LoadBand& b) { return b.name.contains(QLatin1Char('-')) || b.name.endsWith(QLatin1Char('+')); }

double shareOf(double seconds, double of) { return of > 0 ? 100.0 * seconds / of : 0.0; }
// A share of time (%) to a tenth, as the chart labels its bars.
QString shareText(double share) { return QString::number(share, 'f', 1); }

QString nameplateLine(const std::array<float, 7>& v) {
    if (!std::all_of(v.begin(), v.end(), [](float x) { return x != 0.0f; })) return QStringLiteral("无电机参数");
    const auto t = [&v](size_t i) { return nameplateValueText(v[i]); };
    return QStringLiteral("%1 极　%2 kW　%3 A　效率 %4 %　空载 %5 A、%6 kW　%7 V")
        .arg(t(0), t(1), t(2), t(3), t(4), t(5), t(6));
}

}  // namespace

Result<AssessedFile> readAssessedFile(const QString& path) {
    MeasurementReader reader;
    if (Status s = reader.open(path); !s) return s;
    AssessedFile f;
    f.path = QFileInfo(path).absoluteFilePath();
    f.header = reader.info().header;
    f.samples = reader.info().wholeSamples;
    f.markers = measurementMarkers(path, f.header.StartTime);
    return f;
}

QString markersText(const Assessment& a, const AssessedFile& f, size_t shown) {
    const std::vector<Marker> within = markersWithin(f.markers, a.electrical.firstNumber, a.electrical.lastNumber);
    QStringList parts;
    for (size_t k = 0; k < within.size() && k < shown; ++k)
        parts << QStringLiteral("第 %1 组 %2").arg(within[k].sample).arg(within[k].text.simplified());  // on one line
    if (within.size() > shown) parts << QStringLiteral("另有 %1 个未列出").arg(within.size() - shown);
    return parts.join(QStringLiteral("；"));
}

QString absentFigure() { return QStringLiteral("—"); }

QStringList assessmentTableHeader() {
    return {QStringLiteral("项目"), QStringLiteral("数值"), QStringLiteral("单位"), QStringLiteral("说明")};
}

std::vector<AssessmentRow> assessmentRows(const Assessment& a, const AssessedFile& f) {
    Rows r;
    const bool motor = a.rated.has_value();
    const bool ran = a.zone.has_value();
    // Why a motor figure is absent: no usable nameplate, or no steady running in the interval.
    const QString noMotor = a.motorNote.isEmpty() ? QStringLiteral("无可用的电机参数") : a.motorNote;
    const QString notRun = motor ? QStringLiteral("区间内电动机没有稳定运行") : noMotor;

    r.group(QStringLiteral("电量与时间"));
    r.add(QStringLiteral("输入有功电量"), a.energyInKwh, QStringLiteral("kWh"), QStringLiteral("全部数据组"), {});
    r.add(QStringLiteral("运行输入电量"), when(motor, a.energyRunningKwh), QStringLiteral("kWh"),
          QStringLiteral("稳定运行时，不含起动"), noMotor);
    r.add(QStringLiteral("输出电量"), when(motor, a.energyOutKwh), QStringLiteral("kWh"), {}, noMotor);
    r.add(QStringLiteral("运行无功电量"), when(motor, a.energyReactiveKvarh), QStringLiteral("kvarh"), {}, noMotor);
    r.add(QStringLiteral("运行时间"), when(motor, a.runningSeconds), QStringLiteral("s"), hoursNote(a.runningSeconds),
          noMotor);
    r.add(QStringLiteral("起动时间"), when(motor, a.startingSeconds), QStringLiteral("s"), {}, noMotor);
    r.add(QStringLiteral("低于空载时间"), when(motor, a.belowNoLoadSeconds), QStringLiteral("s"), {}, noMotor);
    r.add(QStringLiteral("发电时间"), when(motor, a.generatingSeconds), QStringLiteral("s"), {}, noMotor);

    r.group(QStringLiteral("效率与运行区域"));
    r.add(QStringLiteral("效率"), a.efficiency, QStringLiteral("%"), QStringLiteral("输出电量 ÷ 运行输入电量"), notRun);
    r.add(QStringLiteral("综合效率 η_c"), a.comprehensiveEfficiency, QStringLiteral("%"),
          QStringLiteral("K_Q = %1").arg(a.settings.kq), notRun);
    const auto rated = [&a](double RatedFigures::*m) { return a.rated ? std::optional<double>((*a.rated).*m) : std::nullopt; };
    r.add(QStringLiteral("额定综合效率 η_cN"), rated(&RatedFigures::ratedComprehensiveEfficiency), QStringLiteral("%"),
          QStringLiteral("由铭牌算得"), noMotor);
    r.add(QStringLiteral("允许综合效率 η_cy"), rated(&RatedFigures::allowedComprehensiveEfficiency), QStringLiteral("%"),
          QStringLiteral("铭牌值减去容差"), noMotor);
    r.text(QStringLiteral("运行区域"), ran ? zoneName(*a.zone) : absentFigure(), {}, ran ? QString() : notRun);
    const IntervalStats& e = a.electrical;
    if (std::isfinite(e.powerFactor))
        r.text(QStringLiteral("功率因数"),
               QStringLiteral("%1 %2").arg(e.powerFactor, 0, 'f', 3).arg(QLatin1String(e.powerFactorIndicator)).trimmed(),
               {}, QStringLiteral("由区间电量算得（L 滞后，C 超前）"));
    else
        r.text(QStringLiteral("功率因数"), absentFigure(), {}, QStringLiteral("区间电量为零"));

    r.group(QStringLiteral("负载率"));
    r.add(QStringLiteral("平均负载率"), a.loadRateMean, QStringLiteral("%"), QStringLiteral("按时间平均"), notRun);
    r.add(QStringLiteral("95 % 分位负载率"), a.loadRateP95, QStringLiteral("%"), {}, notRun);
    r.add(QStringLiteral("最大负载率"), a.loadRateMax, QStringLiteral("%"), {}, notRun);
    r.add(QStringLiteral("有功经济负载率 β_a"), rated(&RatedFigures::economicLoadRateActive), QStringLiteral("%"), {},
          noMotor);
    r.add(QStringLiteral("综合经济负载率 β_c"), rated(&RatedFigures::economicLoadRateComprehensive), QStringLiteral("%"),
          {}, noMotor);

    r.group(QStringLiteral("电动机能效等级"));
    if (!motor) {
        r.text(QStringLiteral("能效等级（IEC 60034-30-1）"), absentFigure(), {}, noMotor);
        r.text(QStringLiteral("GB 18613-2020 等级"), absentFigure(), {}, noMotor);
    } else if (!a.efficiencyClass.covered) {
        const QString why = QStringLiteral("等级表不含 %1 极 %2 kW 的电动机")
                                .arg(nameplateValueText(f.header.nameplate[0]), nameplateValueText(f.header.nameplate[1]));
        r.text(QStringLiteral("能效等级（IEC 60034-30-1）"), absentFigure(), {}, why);
        r.text(QStringLiteral("GB 18613-2020 等级"), absentFigure(), {}, why);
    } else {
        const EfficiencyClass& c = a.efficiencyClass;
        r.text(QStringLiteral("能效等级（IEC 60034-30-1）"), efficiencyClassText(c), {},
               QStringLiteral("额定效率 %1 %").arg(figure(a.rated->ratedEfficiency)));
        r.text(QStringLiteral("GB 18613-2020 等级"),
               c.gbGrade > 0 ? QStringLiteral("%1 级").arg(c.gbGrade) : QStringLiteral("未达 3 级"), {},
               c.gbGrade == 2 ? QStringLiteral("1 级未评定") : QString());
    }

    r.group(QStringLiteral("三相不平衡（最大偏离 ÷ 平均值）"));
    const bool allThree = std::all_of(f.header.channels.begin(), f.header.channels.end(), [](int16_t c) { return c != 0; });
    const QString noVoltage = allThree ? QStringLiteral("三路电压均为零") : QStringLiteral("未接入全部三路");
    const QString noCurrent = allThree ? QStringLiteral("三路电流均为零") : QStringLiteral("未接入全部三路");
    r.add(QStringLiteral("电压不平衡，平均"), a.voltageUnbalanceMean, QStringLiteral("%"), {}, noVoltage);
    r.add(QStringLiteral("电压不平衡，最大"), a.voltageUnbalanceMax, QStringLiteral("%"), {}, noVoltage);
    r.add(QStringLiteral("电压不平衡超过 %1 % 的时间").arg(kVoltageUnbalanceGuide), a.voltageUnbalanceOverGuideSeconds,
          QStringLiteral("s"), QStringLiteral("%1 % 为参考值，不是标准的判定").arg(kVoltageUnbalanceGuide), noVoltage);
    r.add(QStringLiteral("电流不平衡，平均"), a.currentUnbalanceMean, QStringLiteral("%"), {}, noCurrent);
    r.add(QStringLiteral("电流不平衡，最大"), a.currentUnbalanceMax, QStringLiteral("%"), {}, noCurrent);

    r.group(QStringLiteral("无功补偿"));
    QString compensationNote = QStringLiteral("按区间平均有功功率补偿到功率因数 %1").arg(a.settings.targetPowerFactor);
    if (a.leading) compensationNote = QStringLiteral("区间为超前（容性），无需电容补偿");
    else if (a.compensationKvar && *a.compensationKvar == 0.0)
        compensationNote = QStringLiteral("已达到目标功率因数 %1").arg(a.settings.targetPowerFactor);
    r.add(QStringLiteral("补偿容量"), a.compensationKvar, QStringLiteral("kvar"), compensationNote,
          QStringLiteral("区间平均有功功率不为正（发电为主）"));
    r.add(QStringLiteral("最大补偿容量（单组数据）"), a.compensationMaxKvar, QStringLiteral("kvar"), {},
          QStringLiteral("区间内没有数据"));
    return r.rows;
}

std::vector<std::pair<QString, QString>> assessedFileLines(const Assessment& a, const AssessedFile& f) {
    const IntervalStats& e = a.electrical;
    const float total = f.header.TotalTime;
    QString duration = QStringLiteral("%1 s").arg(secondsText(total));
    if (const QString h = hoursNote(total); !h.isEmpty()) duration += QStringLiteral("（%1）").arg(h);
    QString range = QStringLiteral("第 %1 到 %2 组（%3 组，%4 s）")
                        .arg(e.firstNumber)
                        .arg(e.lastNumber)
                        .arg(e.samples)
                        .arg(secondsText(e.seconds));
    return {
        {QStringLiteral("数据文件"), f.path},
        {QStringLiteral("测量开始"), clockText(f.header.StartTime)},
        {QStringLiteral("测量时长"), duration},
        {QStringLiteral("电机铭牌"), nameplateLine(f.header.nameplate)},
        {QStringLiteral("评估范围"), range},
        {QStringLiteral("无功经济当量 K_Q"), QStringLiteral("%1 kW/kvar").arg(a.settings.kq)},
        {QStringLiteral("目标功率因数"), QString::number(a.settings.targetPowerFactor)},
    };
}

QStringList zoneTableHeader() {
    return {QStringLiteral("运行区域"), QStringLiteral("时间 (s)"), QStringLiteral("占运行时间 (%)")};
}

std::vector<std::array<QString, 3>> zoneRows(const Assessment& a) {
    std::vector<std::array<QString, 3>> rows;
    if (!a.rated) return rows;
    const OperatingZone zones[3] = {OperatingZone::Economic, OperatingZone::Allowed, OperatingZone::Uneconomic};
    for (size_t z = 0; z < 3; ++z)
        rows.push_back({zoneName(zones[z]), secondsText(a.zoneSeconds[z]),
                        a.runningSeconds > 0 ? shareText(shareOf(a.zoneSeconds[z], a.runningSeconds)) : absentFigure()});
    return rows;
}

QStringList profileTableHeader() {
    return {QStringLiteral("负载率区间"), QStringLiteral("时间 (s)"), QStringLiteral("占区间时间 (%)"),
            QStringLiteral("输入电量 (kWh)")};
}

std::vector<std::array<QString, 4>> profileRows(const Assessment& a) {
    std::vector<std::array<QString, 4>> rows;
    for (const LoadBand& b : a.loadProfile)
        rows.push_back({bandText(b.name), secondsText(b.seconds), shareText(shareOf(b.seconds, a.electrical.seconds)),
                        figure(b.energyKwh)});
    return rows;
}

QStringList startTableHeader() {
    return {QStringLiteral("起动时刻"), QStringLiteral("峰值电流 (A)"), QStringLiteral("峰值倍数 (×I_N)"),
            QStringLiteral("持续时间 (s)")};
}

std::vector<std::array<QString, 4>> startRows(const Assessment& a) {
    std::vector<std::array<QString, 4>> rows;
    rows.reserve(a.starts.size());
    for (const MotorStart& s : a.starts)
        rows.push_back({clockText(s.timeOfDay), figure(s.peakAmperes), QString::number(s.peakMultiple, 'f', 2),
                        secondsText(s.seconds)});
    return rows;
}

QString noStartsText() { return QStringLiteral("区间内没有起动"); }

LoadProfileChart loadProfileChart(const Assessment& a) {
    LoadProfileChart c;
    const double total = a.electrical.seconds;
    double highest = 0;
    QStringList outside;
    for (const LoadBand& b : a.loadProfile) {
        if (!isLoadBand(b)) {
            outside << QStringLiteral("%1 %2 s（%3 %）")
                           .arg(bandText(b.name), secondsText(b.seconds), shareText(shareOf(b.seconds, total)));
            continue;
        }
        ProfileBar bar;
        bar.label = b.name;
        bar.seconds = b.seconds;
        bar.share = shareOf(b.seconds, total);
        bar.caption = shareText(bar.share) + QStringLiteral(" %");
        const QStringList edges = b.name.split(QLatin1Char('-'));
        bar.from = edges.value(0).remove(QLatin1Char('+')).toDouble();
        // The open top band is drawn as wide as the band below it.
        const double below = c.bars.empty() ? 25.0 : c.bars.back().to - c.bars.back().from;
        bar.to = edges.size() == 2 ? edges[1].toDouble() : bar.from + below;
        highest = std::max(highest, bar.share);
        c.bars.push_back(bar);
    }
    c.outside = outside.join(QStringLiteral("；"));
    // A value axis of at most six clean steps, reaching above the highest bar so its caption has room.
    for (double step : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        c.shareStep = step;
        c.shareTop = (std::floor(highest / step) + 1) * step;
        if (c.shareTop / step <= 6) break;
    }
    if (a.rated) {
        c.betaActive = a.rated->economicLoadRateActive;
        c.betaComprehensive = a.rated->economicLoadRateComprehensive;
    }
    c.loadRateTop = c.bars.empty() ? 130.0 : c.bars.back().to;
    // A mark beyond the bands widens the axis to hold it.
    for (const std::optional<double>& beta : {c.betaActive, c.betaComprehensive})
        if (beta && std::isfinite(*beta) && *beta + 5 > c.loadRateTop) c.loadRateTop = std::ceil((*beta + 5) / 10) * 10;
    return c;
}

QString betaMarkText(const QString& name, double percent) {
    return QStringLiteral("%1 %2 %").arg(name, QString::number(percent, 'f', 1));
}

std::vector<std::vector<QString>> assessmentCsvRows(const Assessment& a, const AssessedFile& f, const PrintHeader& h) {
    std::vector<std::vector<QString>> rows;
    const auto row = [&rows](std::vector<QString> cells) {
        cells.resize(4);  // a rectangle, as spreadsheets expect
        rows.push_back(std::move(cells));
    };
    row({QStringLiteral("电动机能效评估")});
    // The texts the operator typed (and the file name chosen) go in as text, never as a formula.
    row({QStringLiteral("使用单位"), spreadsheetText(h.organisation)});
    row({QStringLiteral("被测设备编号"), spreadsheetText(h.device)});
    row({QStringLiteral("测试日期"), spreadsheetText(QStringLiteral("%1年%2月%3日 %4时%5分")
                                                      .arg(h.dateText(0), h.dateText(1), h.dateText(2), h.dateText(3),
                                                           h.dateText(4)))});
    for (const auto& [label, text] : assessedFileLines(a, f))
        row({label, label == QStringLiteral("数据文件") ? spreadsheetText(text) : text});
    for (const Marker& m : markersWithin(f.markers, a.electrical.firstNumber, a.electrical.lastNumber))
        row({QStringLiteral("标记"), QString::number(m.sample), spreadsheetText(m.text)});
    row({QStringLiteral("结论"), a.verdict});
    row({});
    const QStringList header = assessmentTableHeader();
    row({header.begin(), header.end()});
    for (const AssessmentRow& r : assessmentRows(a, f)) row({r.label, r.value, r.unit, r.note});
    if (const auto zones = zoneRows(a); !zones.empty()) {
        row({});
        const QStringList zh = zoneTableHeader();
        row({zh.begin(), zh.end()});
        for (const auto& z : zones) row({z.begin(), z.end()});
    }
    if (const auto bands = profileRows(a); !bands.empty()) {
        row({});
        const QStringList ph = profileTableHeader();
        row({ph.begin(), ph.end()});
        for (const auto& b : bands) row({b.begin(), b.end()});
    }
    row({});
    const QStringList sh = startTableHeader();
    row({sh.begin(), sh.end()});
    if (!a.rated) row({absentFigure(), a.motorNote});
    else if (a.starts.empty()) row({noStartsText()});
    for (const auto& s : startRows(a)) row({s.begin(), s.end()});
    row({});
    row({QStringLiteral("判定规则"), zoneRuleText()});
    return rows;
}

}  // namespace mervo
