#include "printing/data_table.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "measurement/sample_math.h"
#include "measurement/reactive_sign.h"
#include "measurement/reader.h"
#include "motor/operating_point.h"
#include "platform/program_dir.h"
#include "printing/long_text.h"
#include "shared/number_format.h"
#include "shared/text_parse.h"

namespace mervo {

namespace {

constexpr double kTableFontSize = 10;
constexpr double kHeaderFontSize = 12;

using PI = PrintItem;

void emptyLines(Surface& s, int n) {
    for (int i = 0; i < n; ++i) s.print({});
}

void headerBlock(Surface& s, const PrintHeader& h, const QString& path) {
    s.setFontSize(kHeaderFontSize);
    // The values start at column 20; a long one is fitted to the paper's width rather than run off its edge.
    const double valueX = 19 * s.averageCharWidth();
    const double room = s.pageWidth() > 0 ? s.pageWidth() - valueX : 0;
    const auto field = [&](const QString& label, const QString& value) {
        s.print({PI::columnItem(5), PI::textItem(label)}, true);
        printFitted(s, valueX, s.currentY(), value, room);
    };
    field(QStringLiteral("使 用 单 位 ："), h.organisation);
    field(QStringLiteral("被测设备编号："), h.device);
    s.print({PI::columnItem(5), PI::textItem(QStringLiteral("测 试 日 期 ：")), PI::columnItem(20),
             PI::textItem(h.dateText(0)), PI::textItem(QStringLiteral("年")), PI::textItem(h.dateText(1)),
             PI::textItem(QStringLiteral("月")), PI::textItem(h.dateText(2)), PI::textItem(QStringLiteral("日")),
             PI::columnItem(38), PI::textItem(h.dateText(3)), PI::textItem(QStringLiteral("时")),
             PI::textItem(h.dateText(4)), PI::textItem(QStringLiteral("分"))});
    field(QStringLiteral("数据文件名称："), elideMiddle(s, path, room));
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
std::vector<PI> row(int64_t no, const std::array<float, 12>& v, const MotorValues& m) {
    const float current = (std::fabs(v[0]) + std::fabs(v[3]) + std::fabs(v[6])) / 3.0f;
    const float voltage = (std::fabs(v[1]) + std::fabs(v[4]) + std::fabs(v[7])) / 3.0f;
    // The integer text of the bare number form; the float form would round sample numbers past seven digits.
    std::vector<PI> items = {PI::columnItem(4),  PI::textItem(QStringLiteral(" %1 ").arg(no)),
                             PI::columnItem(12), fixed3(current),
                             PI::columnItem(22), fixed3(voltage),
                             PI::columnItem(32), fixed3(v[9]),
                             PI::columnItem(42), PI::textItem(formatFixed3(std::fabs(v[8])) +
                                                              QLatin1String(panelIndicator(v[8]))),
                             PI::columnItem(52), fixed3(std::fabs(v[5])),
                             PI::columnItem(62), fixed3(v[2])};
    if (const auto out = evaluateMotor(m, v[2]).outputs)
        items.insert(items.end(), {PI::columnItem(72), fixed3(out->outputPower), PI::columnItem(82),
                                   fixed3(out->efficiency), PI::columnItem(92), fixed3(out->loadRate)});
    return items;
}

}  // namespace

int64_t tablePageCount(int64_t rows) {
    if (rows <= 0) return 1;  // the header page, printed even for a measurement without samples
    if (rows < kTableFirstPageRows) return 1;
    return (rows - kTableFirstPageRows) / kTableOtherPageRows + 2;
}

QString tableColumnHeader() {
    return QStringLiteral("    序号") + QChar(0x3000) +
           QStringLiteral("  电  流     电  压  视在功率  功率因数  无功功率  有功功率  输出功率   效  率    负载率");
}

QString tableUnitLine() {
    return QStringLiteral("              A          V       kVa                 kVar       kW        kW        %         %   ");
}

QString tablePageLead() { return QString(54, QLatin1Char(' ')); }

QString tableEndLine() { return QString(51, QLatin1Char(' ')) + QStringLiteral("-- END --"); }

Result<int64_t> tableSampleCount(const QString& path) {
    MeasurementReader reader;
    const Status opened = reader.open(path);
    const MeasurementInfo& in = reader.info();
    if (in.shape.condition == FileCondition::NotMeasurement)
        return Status::failure(
            QStringLiteral("数据文件 %1 不是测量数据文件（文件头%2），无法打印！").arg(path, in.headerProblem));
    // A complete file, or one whose receive never wrote the trailer; anything else is damaged.
    if (in.shape.condition == FileCondition::TooShort || in.shape.condition == FileCondition::PartialSample)
        return Status::failure(QStringLiteral("数据文件 %1 的长度（%2 字节）不是完整的数据组，文件已损坏，无法打印！")
                                   .arg(path)
                                   .arg(in.bytes));
    if (!opened) return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2），无法打印！").arg(path, opened.reason()));
    return in.wholeSamples;
}

Result<TableRange> parseTableRange(const QString& firstText, const QString& lastText, int64_t sampleCount) {
    const std::optional<int64_t> a = wholeNumberFromText(firstText), b = wholeNumberFromText(lastText);
    // A measurement without samples prints its whole range, 1 to 0: the header page and no row.
    if (sampleCount < 1) {
        if (a == 1 && b == 0) return TableRange{1, 0};
        return Status::failure(QStringLiteral("数据文件中没有测量数据，无法打印数据！"));
    }
    if (!a || !b || *a < 1 || *b > sampleCount || *a > *b)
        return Status::failure(
            QStringLiteral("打印范围“%1”到“%2”无效：序号应为 1 到 %3 之间的整数，且起始序号不大于终止序号。")
                .arg(firstText, lastText)
                .arg(sampleCount));
    return TableRange{*a, *b};
}

Status printDataTable(const SharedState& st, Surface& s, const PrintHeader& header, const TableRange& range,
                      const PrintProgress& progress) {
    const QString path = st.file.WorkFile.isEmpty() ? workFilePath(programDirectory()) : st.file.WorkFile;

    // Everything that can be known in advance is checked before the first line is printed.
    const Result<int64_t> n = tableSampleCount(path);
    if (!n) return n.status();
    const bool wholeOfNone = *n == 0 && range.first == 1 && range.last == 0;
    if (!wholeOfNone && (range.first < 1 || range.last > *n || range.first > range.last))
        return parseTableRange(QString::number(range.first), QString::number(range.last), *n).status();
    SampleStream stream;
    const auto unreadable = [&](const QString& why) {
        return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2），无法打印！").arg(path, why), why);
    };
    if (Status opened = stream.open(path, range.last); !opened) return unreadable(opened.reason());
    float stored[kSampleRecords];
    for (int64_t k = 1; k < range.first; ++k)
        if (!stream.next(stored))
            return unreadable(stream.status() ? QStringLiteral("文件提前结束") : stream.status().reason());

    s.setFont(FontSpec{QStringLiteral("宋体"), kTableFontSize, false});
    emptyLines(s, 4);
    headerBlock(s, header, path);
    s.setFontSize(kTableFontSize);
    emptyLines(s, 1);
    columnLines(s);

    const int64_t pages = tablePageCount(range);
    const auto goOn = [&](int64_t done) { return !progress || progress(done, pages); };
    // The rows a page holds: 60 on the first and 65 on the others, as long as the paper has room for them
    // and the page's foot (two empty lines and the page number); a shorter paper takes fewer, so no row and
    // no page number falls off its edge.
    const auto rowsThatFit = [&s](int64_t designed) {
        const double height = s.pageHeight();
        if (height <= 0) return designed;
        const auto room = static_cast<int64_t>(std::floor((height - s.currentY()) / s.lineHeight())) - 3;
        return std::max<int64_t>(1, std::min(designed, room));
    };
    int64_t pageRows = rowsThatFit(kTableFirstPageRows), onPage = 0;
    std::array<float, 9> sample{};
    std::array<float, 12> values{};
    for (int64_t i = range.first; i <= range.last; ++i) {
        if (!stream.next(stored)) {
            const Status& s = stream.status();
            return Status::failure(QStringLiteral("数据文件 %1 无法读取（%2），打印未完成！")
                                       .arg(path, s ? QStringLiteral("文件在第 %1 组数据处结束").arg(i) : s.reason()));
        }
        values.fill(0);
        for (int k = 0; k < kSampleRecords; ++k) values[k] = sample[k] = stored[k];
        DeriveRecord(sample, values);
        s.print(row(i, values, st.motor));
        if (++onPage == pageRows) {
            pageFoot(s);
            if (!goOn(s.page())) return printCancelledStatus(s.page(), pages);
            s.newPage();
            emptyLines(s, 4);
            columnLines(s);
            onPage = 0;
            pageRows = rowsThatFit(kTableOtherPageRows);
        }
    }
    stream.close();
    pageFoot(s);
    s.printText(tableEndLine());
    if (!goOn(s.page())) return printCancelledStatus(s.page(), pages);
    if (!s.endDoc()) return Status::failure(QStringLiteral("打印数据表时出错，打印未完成！"));
    return {};
}

}  // namespace mervo
