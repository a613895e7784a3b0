#include "printing/data_table.h"

#include <array>
#include <cmath>

#include "measurement/sample_math.h"
#include "measurement/reader.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "shared/number_format.h"

namespace mervo {

namespace {

constexpr double kTableFontSize = 10;
constexpr double kHeaderFontSize = 12;

using PI = PrintItem;

bool fail(QString* error, const QString& why) {
    if (error) *error = why;
    return false;
}

void emptyLines(Surface& s, int n) {
    for (int i = 0; i < n; ++i) s.print({});
}

void headerBlock(Surface& s, const PrintHeader& h, const QString& path) {
    s.setFontSize(kHeaderFontSize);
    s.print({PI::columnItem(5), PI::textItem(QStringLiteral("使 用 单 位 ：")), PI::columnItem(20),
             PI::textItem(h.organisation)});
    s.print({PI::columnItem(5), PI::textItem(QStringLiteral("被测设备编号：")), PI::columnItem(20),
             PI::textItem(h.device)});
    s.print({PI::columnItem(5), PI::textItem(QStringLiteral("测 试 日 期 ：")), PI::columnItem(20),
             PI::textItem(h.dateText(0)), PI::textItem(QStringLiteral("年")), PI::textItem(h.dateText(1)),
             PI::textItem(QStringLiteral("月")), PI::textItem(h.dateText(2)), PI::textItem(QStringLiteral("日")),
             PI::columnItem(38), PI::textItem(h.dateText(3)), PI::textItem(QStringLiteral("时")),
             PI::textItem(h.dateText(4)), PI::textItem(QStringLiteral("分"))});
    s.print({PI::columnItem(5), PI::textItem(QStringLiteral("数据文件名称：")), PI::columnItem(20),
             PI::textItem(path)});
}

void columnLines(Surface& s) {
    s.printText(tableColumnHeader());
    s.printText(tableUnitLine());
}

void pageFoot(Surface& s) {
    emptyLines(s, 2);
    s.print({PI::textItem(tablePageLead()), PI::numberItem(static_cast<float>(s.page()))});
}

PI fixed3(float v) { return PI::textItem(formatFixed3(v)); }

// One row. The motor columns follow the data panel: the operating point while the motor runs, zeros below
// no-load, and blanks when it is generating or there is no usable nameplate, never a value left over from an
// earlier sample.
std::vector<PI> row(int64_t no, const std::array<float, 12>& v, MotorValues& m) {
    const float current = (std::fabs(v[0]) + std::fabs(v[3]) + std::fabs(v[6])) / 3.0f;
    const float voltage = (std::fabs(v[1]) + std::fabs(v[4]) + std::fabs(v[7])) / 3.0f;
    // The integer text of the bare number form; the float form would round sample numbers past seven digits.
    std::vector<PI> items = {PI::columnItem(4),  PI::textItem(QStringLiteral(" %1 ").arg(no)),
                             PI::columnItem(12), fixed3(current),
                             PI::columnItem(22), fixed3(voltage),
                             PI::columnItem(32), fixed3(v[9]),
                             PI::columnItem(42), PI::textItem(formatFixed3(std::fabs(v[8])) +
                                                              (v[8] < 0 ? QStringLiteral("L") : QStringLiteral("C"))),
                             PI::columnItem(52), fixed3(std::fabs(v[5])),
                             PI::columnItem(62), fixed3(v[2])};
    switch (classifyMotorState(m, v[2])) {
        case MotorState::Running:
            MotorOperatingPoint(m, v[2]);
            items.insert(items.end(), {PI::columnItem(72), fixed3(m.MotorOutputPower), PI::columnItem(82),
                                       fixed3(m.MotorEfficiency), PI::columnItem(92), fixed3(m.MotorLoadRate)});
            break;
        case MotorState::BelowNoLoad:
            items.insert(items.end(),
                         {PI::columnItem(72), fixed3(0), PI::columnItem(82), fixed3(0), PI::columnItem(92), fixed3(0)});
            break;
        case MotorState::Generating:
        case MotorState::NoMotorData:
            break;
    }
    return items;
}

}  // namespace

QString tableColumnHeader() {
    return QStringLiteral("    序号") + QChar(0x3000) +
           QStringLiteral("  电  流     电  压  视在功率  功率因数  无功功率  有功功率  输出功率   效  率    负载率");
}

QString tableUnitLine() {
    return QStringLiteral("              A          V       kVa                 kVar       kW        kW        %         %   ");
}

QString tablePageLead() { return QString(54, QLatin1Char(' ')); }

QString tableEndLine() { return QString(51, QLatin1Char(' ')) + QStringLiteral("-- END --"); }

int64_t tableSampleCount(const QString& path, QString* error) {
    MeasurementReader reader;
    QString why;
    if (!reader.open(path, &why)) {
        if (!reader.info().headerProblem.isEmpty())
            fail(error, QStringLiteral("数据文件 %1 不是测量数据文件（文件头%2），无法打印！")
                            .arg(path, reader.info().headerProblem));
        else
            fail(error, QStringLiteral("数据文件 %1 无法读取（%2），无法打印！").arg(path, why));
        return -1;
    }
    const MeasurementInfo& in = reader.info();
    const int64_t records = in.bytes / kRecordBytes;
    // A complete file, or one whose receive never wrote the trailer; anything else is damaged.
    if (in.complete) return in.wholeSamples;
    if (in.bytes % kRecordBytes == 0 && records >= kHeaderRecords && (records - kHeaderRecords) % kSampleRecords == 0)
        return in.wholeSamples;
    fail(error, QStringLiteral("数据文件 %1 的长度（%2 字节）不是完整的数据组，文件已损坏，无法打印！")
                    .arg(path)
                    .arg(in.bytes));
    return -1;
}

bool parseTableRange(const QString& firstText, const QString& lastText, int64_t sampleCount, TableRange* range,
                     QString* error) {
    if (sampleCount < 1) return fail(error, QStringLiteral("数据文件中没有测量数据，无法打印数据！"));
    const auto whole = [](const QString& t, double* v) {
        bool ok = false;
        *v = t.trimmed().toDouble(&ok);
        return ok && std::isfinite(*v) && *v == std::floor(*v);
    };
    double a = 0, b = 0;
    const bool ok = whole(firstText, &a) && whole(lastText, &b) && a >= 1 && b <= static_cast<double>(sampleCount) &&
                    a <= b;
    if (!ok)
        return fail(error, QStringLiteral("打印范围“%1”到“%2”无效：序号应为 1 到 %3 之间的整数，且起始序号不大于终止序号。")
                               .arg(firstText, lastText)
                               .arg(sampleCount));
    range->first = static_cast<int64_t>(a);
    range->last = static_cast<int64_t>(b);
    return true;
}

bool printDataTable(SharedState& st, Surface& s, const PrintHeader& header, const TableRange& range,
                    QString* error) {
    if (st.file.WorkFile.isEmpty()) st.file.WorkFile = workFilePath(programDirectory());
    const QString path = st.file.WorkFile;

    // Everything that can be known in advance is checked before the first line is printed.
    const int64_t n = tableSampleCount(path, error);
    if (n < 0) return false;
    if (range.first < 1 || range.last > n || range.first > range.last) {
        TableRange checked;
        return parseTableRange(QString::number(range.first), QString::number(range.last), n, &checked, error);
    }
    SampleStream stream;
    QString why;
    if (!stream.open(path, range.last, &why))
        return fail(error, QStringLiteral("数据文件 %1 无法读取（%2），无法打印！").arg(path, why));
    float stored[kSampleRecords];
    for (int64_t k = 1; k < range.first; ++k) {
        if (!stream.next(stored, &why))
            return fail(error, QStringLiteral("数据文件 %1 无法读取（%2），无法打印！").arg(path, why));
    }

    s.setFont(FontSpec{QStringLiteral("宋体"), kTableFontSize, false});
    emptyLines(s, 4);
    headerBlock(s, header, path);
    s.setFontSize(kTableFontSize);
    emptyLines(s, 1);
    columnLines(s);

    // Copies, so printing leaves the analysis window's current sample and motor values as they were.
    MotorValues motor = st.motor;
    std::array<float, 9> sample{};
    std::array<float, 12> values{};
    int64_t rows = 0;
    for (int64_t i = range.first; i <= range.last; ++i) {
        if (!stream.next(stored, &why)) {
            if (why.isEmpty()) why = QStringLiteral("文件在第 %1 组数据处结束").arg(i);
            return fail(error, QStringLiteral("数据文件 %1 无法读取（%2），打印未完成！").arg(path, why));
        }
        values.fill(0);
        for (int k = 0; k < kSampleRecords; ++k) values[k] = sample[k] = stored[k];
        DeriveRecord(sample, values);
        s.print(row(i, values, motor));
        ++rows;
        if (rows == static_cast<int64_t>(s.page() - 1) * kTableOtherPageRows + kTableFirstPageRows) {
            pageFoot(s);
            s.newPage();
            emptyLines(s, 4);
            columnLines(s);
        }
    }
    stream.close();
    pageFoot(s);
    s.printText(tableEndLine());
    if (!s.endDoc()) return fail(error, QStringLiteral("打印数据表时出错，打印未完成！"));
    return true;
}

}  // namespace mervo
