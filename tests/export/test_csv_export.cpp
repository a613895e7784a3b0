// The CSV's every-sample and interval rows of a small measurement worked out by hand: magnitudes, the IEC sign of
// reactive power, and the interval statistics as an engineer defines them.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <map>
#include <cmath>

#include "measurement/writer.h"
#include "export/csv_export.h"
#include "shared/spreadsheet_text.h"
#include "support/status_matchers.h"

namespace mervo {
namespace {

// 4 poles, 10 kW, 20 A, 80 %, 6 A, 0.5 kW, 380 V: rated losses 2.5 kW, so at 6 kW in the load rate is 50 %,
// the output 5 kW and the efficiency 83.333 %.
constexpr std::array<float, 7> kNameplate = {4, 10, 20, 80, 6, 0.5f, 380};

// Every channel alike at 250 V: i A (its sign the direction of reactive power) and p kW.
std::array<float, 9> channels(float i, float p) { return {i, 250, p, i, 250, p, i, 250, p}; }

// Four samples over 4 s, so each stands for 1 s:
//   1, 2  -10 A, 2 kW:    ΣP 6,    stored ΣQ -4.5 (lagging: IEC +4.5, L), S 7.5, PF 0.8, running
//   3     -1 A, 0.15 kW:  ΣP 0.45, stored ΣQ -0.6 (IEC +0.6, L), below the no-load power
//   4     10 A, 2 kW:     ΣP 6,    stored ΣQ 4.5 (leading: IEC -4.5, C), running
QString writeMeasurement(const QString& path) {
    FileHeader h;
    h.StartTime = 3600;
    h.TotalTime = 4;
    h.nameplate = kNameplate;
    h.channels = {1, 1, 1};
    WorkingFileWriter w;
    EXPECT_TRUE(test::succeeded(w.create(path, h)));
    for (const auto& v : {channels(-10, 2), channels(-10, 2), channels(-1, 0.15f), channels(10, 2)})
        EXPECT_TRUE(test::succeeded(w.appendSample(v.data())));
    std::array<float, 12> mx{}, mn{};
    EXPECT_TRUE(test::succeeded(w.appendTrailer(mx, mn)));
    EXPECT_TRUE(test::succeeded(w.close()));
    return path;
}

// The CSV's rows as header name -> field.
std::vector<std::map<QString, QString>> exported(const QString& file, const QString& out, double interval) {
    CsvExportOptions o;
    o.intervalSeconds = interval;
    EXPECT_TRUE(test::succeeded(exportCsv(file, out, o)));
    QFile f(out);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList header = lines.value(0).split(QLatin1Char(','));
    std::vector<std::map<QString, QString>> rows;
    for (const QString& line : lines.mid(1)) {
        const QStringList fields = line.split(QLatin1Char(','));
        EXPECT_EQ(fields.size(), header.size()) << line.toStdString();
        rows.emplace_back();
        for (int k = 0; k < header.size(); ++k) rows.back()[header[k]] = fields.value(k);
    }
    return rows;
}

TEST(CsvExport, RowsShowMagnitudesTheIecSignAndTheIntervalDefinitions) {
    QTemporaryDir dir;
    const QString file = writeMeasurement(dir.filePath(QStringLiteral("m.MTQ")));
    const QString q = QStringLiteral("Q_total(kvar;+L/-C)");
    const struct {
        const char* what;
        double interval;
        size_t row;
        std::vector<std::pair<QString, QString>> fields;  // a number, compared as one; or a text, exactly
    } cases[] = {
        {"a lagging sample", 0, 0, {{"I1(A)", "10"}, {"U1(V)", "250"}, {"P1(kW)", "2"}, {"PF", "0.8"}, {q, "4.5"},
                                    {"indicator", "L"}}},
        {"a leading sample", 0, 3, {{"I1(A)", "10"}, {q, "-4.5"}, {"indicator", "C"}, {"PF", "0.8"}}},
        // Samples 1 and 2: 12 kW·s = 3.3333 W·h within, 9 kvar·s = 2.5 var·h; PF 12 / 15.
        {"an interval of lagging samples", 2, 0,
         {{"from", "1"}, {"to", "2"}, {"samples", "2"}, {"time(s)", "0"}, {"I1_mean(A)", "10"},
          {"PF_interval", "0.8"}, {"PF_indicator", "L"}, {"efficiency_interval(%)", "83.333336"},
          {"Ep_interval(Wh)", "3.3333333"}, {"Eq_interval(varh;+L/-C)", "2.5"}, {"running(s)", "2"},
          {"Ep(Wh)", "3.3333333"}}},
        // Samples 3 and 4: 6.45 kW·s = 1.7916667 W·h; 0.6 - 4.5 = -3.9 kvar·s = -1.0833333 var·h, leading on
        // balance; PF 6.45 / √(6.45² + 3.9²) = 0.855732. The efficiency over sample 4 alone, where the motor
        // runs: 5 / 6. The cumulative reading: 18.45 kW·s = 5.125 W·h.
        {"an interval across no-load", 2, 1,
         {{"from", "3"}, {"to", "4"}, {"time(s)", "2"}, {"I1_mean(A)", "5.5"}, {"I1_min(A)", "1"},
          {"I1_max(A)", "10"}, {"Q_total_mean(kvar;+L/-C)", "-1.95"}, {"PF_interval", "0.855732"},
          {"PF_indicator", "C"}, {"PF_min", "0.6"}, {"efficiency_interval(%)", "83.333336"},
          {"efficiency_min(%)", "83.333336"}, {"load_rate_mean(%)", "50"}, {"Ep_interval(Wh)", "1.7916667"},
          {"Eq_interval(varh;+L/-C)", "-1.0833333"}, {"running(s)", "1"}, {"below_no_load(s)", "1"},
          {"Ep(Wh)", "5.125"}}},
        // An interval of 0.3 s starts at 0.9 s: its time reads 0.9, not 0.8999999999999999.
        {"a start time without float noise", 0.3, 0, {{"from", "1"}, {"to", "1"}, {"time(s)", "0.9"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto rows = exported(file, dir.filePath(QStringLiteral("out.csv")), c.interval);
        ASSERT_GT(rows.size(), c.row);
        const auto& row = rows[c.row];
        for (const auto& [name, expected] : c.fields) {
            ASSERT_TRUE(row.count(name)) << name.toStdString();
            const QString& actual = row.at(name);
            bool number = false;
            const double e = expected.toDouble(&number);
            if (number)
                EXPECT_NEAR(actual.toDouble(), e, 2e-6 * std::max(1.0, std::fabs(e))) << name.toStdString();
            else
                EXPECT_EQ(actual, expected) << name.toStdString();
        }
    }
}

// A text the operator typed reaches a spreadsheet as text: one that would start a formula is led by an apostrophe,
// any other stays as typed.
TEST(CsvExport, aTypedTextNeverBecomesAFormula) {
    const struct {
        const char* typed;
        const char* written;
    } cases[] = {{"=SUM(A1:A9)", "'=SUM(A1:A9)"}, {"+86 10", "'+86 10"}, {"-1", "'-1"}, {"@A1", "'@A1"},
                 {"\tx", "'\tx"}, {"\rx", "'\rx"}, {"泵启动", "泵启动"}, {"a=b", "a=b"}, {"", ""}, {"'=x", "'=x"}};
    for (const auto& c : cases)
        EXPECT_EQ(spreadsheetText(QString::fromUtf8(c.typed)), QString::fromUtf8(c.written)) << c.typed;
}

// The every-sample CSV ends each row with the marker at its sample: guarded, quoted where it holds a separator,
// empty where there is none.
TEST(CsvExport, aSampleRowEndsWithItsMarker) {
    QTemporaryDir dir;
    const QString file = writeMeasurement(dir.filePath(QStringLiteral("m.MTQ")));
    QFile side(file + QStringLiteral(".side"));
    ASSERT_TRUE(side.open(QIODevice::WriteOnly));
    side.write(R"({"start_time": 3600, "gaps": [], "markers": [{"sample": 2, "text": "=A1,\"x\""},
                  {"sample": 4, "text": "泵启动"}]})");
    side.close();
    const QString out = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(test::succeeded(exportCsv(file, out, CsvExportOptions())));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(",load_rate(%),marker"))) << lines[0].toStdString();
    const char* ends[] = {",", R"(,"'=A1,""x""")", ",", ",泵启动"};
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(lines[k + 1].endsWith(QString::fromUtf8(ends[k]))) << lines[k + 1].toStdString();
}

}  // namespace
}  // namespace mervo
