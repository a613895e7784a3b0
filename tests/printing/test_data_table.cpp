#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <array>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "measurement/sample_math.h"
#include "measurement/writer.h"
#include "motor/operating_point.h"
#include "platform/fake/recording_surface.h"
#include "printing/data_table.h"
#include "shared/number_format.h"
#include "support/status_matchers.h"

namespace mervo {
namespace {

using Sample = std::array<float, 9>;
using Call = RecordingSurface::Call;

// A motor the loss model can evaluate: no-load power 0.5 kW.
constexpr std::array<float, 7> kNameplate = {4, 11, 22, 90, 8, 0.5f, 380};

// Sample i draws i amperes on every phase at 220 V with 0.2 kW per phase, so each row names its sample.
Sample numbered(int i) { return {float(i), 220, 0.2f, float(i), 220, 0.2f, float(i), 220, 0.2f}; }

QString writeFile(const QString& path, const std::vector<Sample>& samples, bool trailer = true,
                  std::array<float, 7> nameplate = kNameplate, std::array<int16_t, 3> channels = {1, 1, 1}) {
    WorkingFileWriter w;
    FileHeader h;
    h.StartTime = 3600;
    h.TotalTime = float(samples.size());
    h.nameplate = nameplate;
    h.channels = channels;
    QString error;
    EXPECT_TRUE(test::succeeded(w.create(path, h)));
    for (const Sample& s : samples) EXPECT_TRUE(w.appendSample(s.data()));
    // A trailer of large values: a row that printed it would show them.
    std::array<float, 12> mx, mn;
    mx.fill(9999);
    mn.fill(-9999);
    if (trailer) {
        EXPECT_TRUE(w.appendTrailer(mx, mn));
    }
    EXPECT_TRUE(test::succeeded(w.close()));
    return path;
}

std::vector<Sample> numberedSamples(int n) {
    std::vector<Sample> v;
    for (int i = 1; i <= n; ++i) v.push_back(numbered(i));
    return v;
}

// What one printed page holds, read back from the recording.
struct PrintedPage {
    std::vector<int> rows;     // sample numbers in the row column, in order
    QString pageNumber;        // the text after the page-number lead
    int columnHeaders = 0, unitLines = 0, headerBlocks = 0;
    bool endLine = false, endAfterPageNumber = false;
};

std::vector<PrintedPage> pagesOf(const RecordingSurface& s) {
    std::vector<PrintedPage> pages(1);
    bool afterLead = false;
    for (const Call& c : s.calls) {
        if (c.op == Call::Op::NewPage) {
            pages.emplace_back();
            continue;
        }
        if (c.op != Call::Op::Text) continue;
        PrintedPage& p = pages.back();
        if (afterLead) {
            p.pageNumber = c.text;
            afterLead = false;
            continue;
        }
        static const QRegularExpression number(QStringLiteral("^ (\\d+) $"));
        const auto m = number.match(c.text);
        if (c.x1 == 300 && c.fontSize == 10 && m.hasMatch()) p.rows.push_back(m.captured(1).toInt());
        if (c.text == tableColumnHeader()) ++p.columnHeaders;
        if (c.text == tableUnitLine()) ++p.unitLines;
        if (c.text == QStringLiteral("数据文件名称：")) ++p.headerBlocks;
        if (c.text == tablePageLead()) afterLead = true;
        if (c.text == tableEndLine()) {
            p.endLine = true;
            p.endAfterPageNumber = !p.pageNumber.isEmpty();
        }
    }
    return pages;
}

std::vector<int> seq(int a, int b) {
    std::vector<int> v;
    for (int i = a; i <= b; ++i) v.push_back(i);
    return v;
}

class DataTable : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SharedState st;
    RecordingSurface page;

    void useFile(const QString& path) {
        st.file.WorkFile = path;
        confirmNameplate(st.motor, kNameplate);
    }
    QString file(const char* name) { return dir.filePath(QLatin1String(name)); }
    // The texts of the row of sample `no`, keyed by their column (1-based, 100 twips a character at 10 pt).
    std::map<int, QString> rowOf(int no) {
        std::map<int, QString> row;
        double y = -1;
        for (const Call& c : page.texts()) {
            if (c.fontSize != 10) continue;
            if (c.x1 == 300 && c.text == QStringLiteral(" %1 ").arg(no)) y = c.y1;
            if (y >= 0 && c.y1 == y) row[int(c.x1 / 100) + 1] += c.text;
            if (y >= 0 && c.y1 > y) break;
        }
        return row;
    }
};

TEST_F(DataTable, PagesHoldSixtyRowsThenSixtyFiveWithNumbersAtTheirFeet) {
    useFile(writeFile(file("m.mtq"), numberedSamples(130)));
    struct Case {
        int first, last;
        std::vector<std::vector<int>> rows;
    };
    const Case cases[] = {
        {1, 130, {seq(1, 60), seq(61, 125), seq(126, 130)}},
        {61, 130, {seq(61, 120), seq(121, 130)}},
        // Exactly a page: the second page holds only its headings, its number and the end line.
        {1, 60, {seq(1, 60), {}}},
        {71, 130, {seq(71, 130), {}}},
        {130, 130, {{130}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << ".." << c.last);
        RecordingSurface s;
        QString error;
        ASSERT_TRUE(test::succeeded(printDataTable(st, s, PrintHeader{}, {c.first, c.last})));
        const auto pages = pagesOf(s);
        ASSERT_EQ(pages.size(), c.rows.size());
        EXPECT_EQ(tablePageCount(TableRange{c.first, c.last}), int64_t(c.rows.size())) << "announced as printed";
        for (size_t p = 0; p < pages.size(); ++p) {
            SCOPED_TRACE(testing::Message() << "page " << p + 1);
            EXPECT_EQ(pages[p].rows, c.rows[p]);
            EXPECT_EQ(pages[p].pageNumber, QStringLiteral(" %1 ").arg(p + 1));
            EXPECT_EQ(pages[p].columnHeaders, 1);
            EXPECT_EQ(pages[p].unitLines, 1);
            EXPECT_EQ(pages[p].headerBlocks, p == 0 ? 1 : 0);
            EXPECT_EQ(pages[p].endLine, p + 1 == pages.size());
        }
        EXPECT_TRUE(pages.back().endAfterPageNumber);
        ASSERT_FALSE(s.calls.empty());
        EXPECT_EQ(s.calls.back().op, Call::Op::EndDoc);
    }
}

// A measurement without samples: its whole range, 1 to 0, is one page with the header, no row, the page
// number and the end line.
TEST_F(DataTable, aMeasurementWithoutSamplesPrintsItsHeaderPage) {
    useFile(writeFile(file("e.mtq"), numberedSamples(0)));
    const Result<TableRange> whole = parseTableRange(QStringLiteral("1"), QStringLiteral("0"), 0);
    ASSERT_TRUE(whole.ok());
    RecordingSurface s;
    ASSERT_TRUE(test::succeeded(printDataTable(st, s, PrintHeader{}, *whole)));
    const auto pages = pagesOf(s);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0].rows.empty());
    EXPECT_EQ(pages[0].headerBlocks, 1);
    EXPECT_EQ(pages[0].pageNumber, QStringLiteral(" 1 "));
    EXPECT_TRUE(pages[0].endLine);
    EXPECT_EQ(s.calls.back().op, Call::Op::EndDoc);
}

// On Letter paper (11 in less two 6.35 mm margins: 15120 twips printable) a page holds fewer rows than on A4:
// every row is printed once, in order, and nothing, the page number included, runs past the paper's edge.
TEST_F(DataTable, rowsFitAShorterPaper) {
    useFile(writeFile(file("m.mtq"), numberedSamples(130)));
    RecordingSurface s;
    s.pageHeightTwips = 15120;
    ASSERT_TRUE(test::succeeded(printDataTable(st, s, PrintHeader{}, {1, 130})));
    const auto pages = pagesOf(s);
    ASSERT_FALSE(pages.empty());
    EXPECT_LT(pages[0].rows.size(), 60u) << "60 lines of 250 twips is all the paper has";
    std::vector<int> rows;
    for (const auto& p : pages) {
        rows.insert(rows.end(), p.rows.begin(), p.rows.end());
        EXPECT_FALSE(p.pageNumber.isEmpty());
    }
    EXPECT_EQ(rows, seq(1, 130));
    for (const Call& c : s.texts()) EXPECT_LE(c.y1 + c.fontSize * 25.0, 15120.0) << c.text.toStdString();
}

// Worked by hand from 60 rows on the first page and 65 on the others, with a break after every full page.
TEST(DataTablePages, countFollowsSixtyRowsThenSixtyFiveAndABreakAfterEveryFullPage) {
    const struct {
        int64_t rows, pages;
    } cases[] = {{0, 1},     {1, 1},     {59, 1},    {60, 2},   {61, 2},  {124, 2},
                 {125, 3},   {126, 3},   {189, 3},   {190, 4},  {1000000, 15385}};
    for (const auto& c : cases) EXPECT_EQ(tablePageCount(c.rows), c.pages) << c.rows << " rows";
    EXPECT_EQ(tablePageCount(TableRange{999941, 1000000}), 2) << "60 rows from the range";
}

// The progress callback hears of each finished page; saying stop after page K leaves K pages drawn, no page
// begun after them and no document ended, and the printing fails as cancelled.
TEST_F(DataTable, progressHearsEveryPageAndStopsThePrintingAfterThePageItRefuses) {
    useFile(writeFile(file("m.mtq"), numberedSamples(130)));
    using Heard = std::vector<std::pair<int64_t, int64_t>>;
    const struct {
        int stopAfter;  // 0: never
        int pages;
        Heard heard;
    } cases[] = {
        {1, 1, {{1, 3}}},
        {2, 2, {{1, 3}, {2, 3}}},
        {3, 3, {{1, 3}, {2, 3}, {3, 3}}},
        {0, 3, {{1, 3}, {2, 3}, {3, 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "stop after " << c.stopAfter);
        RecordingSurface s;
        Heard heard;
        const Status printed = printDataTable(st, s, PrintHeader{}, {1, 130}, [&](int64_t done, int64_t total) {
            heard.emplace_back(done, total);
            return done != c.stopAfter;
        });
        EXPECT_EQ(heard, c.heard);
        EXPECT_EQ(s.page(), c.pages);
        EXPECT_EQ(pagesOf(s).size(), size_t(c.pages));
        const bool ended = !s.calls.empty() && s.calls.back().op == Call::Op::EndDoc;
        EXPECT_EQ(ended, c.stopAfter == 0);
        EXPECT_EQ(printed.ok(), c.stopAfter == 0);
        EXPECT_EQ(printCancelled(printed), c.stopAfter != 0);
    }
}

TEST_F(DataTable, LinesStandWhereTheTextModelPutsThem) {
    useFile(writeFile(file("m.mtq"), numberedSamples(3)));
    PrintHeader h;
    h.organisation = QStringLiteral("某某厂");
    h.device = QStringLiteral("泵站3号");
    h.typedDate = {QStringLiteral("2024年?"), QStringLiteral("3"), QStringLiteral("7"), QStringLiteral("9"),
                   QStringLiteral("05")};
    ASSERT_TRUE(printDataTable(st, page, h, {1, 3}));
    const auto t = page.texts();
    // Four empty lines at 10 pt, then the header block at 12 pt from column 5 and 20 (120 twips a character).
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(t[0].text, QStringLiteral("使 用 单 位 ："));
    EXPECT_EQ(t[0].x1, 480);
    EXPECT_EQ(t[0].y1, 4 * 250);
    EXPECT_EQ(t[0].fontSize, 12);
    EXPECT_EQ(t[1].text, h.organisation);
    EXPECT_EQ(t[1].x1, 19 * 120);
    EXPECT_EQ(t[3].text, h.device);
    EXPECT_EQ(t[3].y1, 4 * 250 + 300);
    QString dateLine;
    double hourX = 0;
    for (const Call& c : t)
        if (c.y1 == 4 * 250 + 600 && c.x1 >= 19 * 120) {
            dateLine += c.text;
            if (c.text == QStringLiteral("9")) hourX = c.x1;
        }
    EXPECT_EQ(dateLine, QStringLiteral("2024年?年3月7日9时05分"));  // as typed, not checked
    EXPECT_EQ(hourX, 37 * 120);
    const auto path = std::find_if(t.begin(), t.end(), [&](const Call& c) { return c.text == st.file.WorkFile; });
    ASSERT_NE(path, t.end());
    EXPECT_EQ(path->y1, 4 * 250 + 900);

    // An empty line, the column headings, the units and the first row, 250 twips apart at 10 pt.
    const double headY = 4 * 250 + 4 * 300 + 250;
    const auto head = std::find_if(t.begin(), t.end(), [](const Call& c) { return c.text == tableColumnHeader(); });
    ASSERT_NE(head, t.end());
    EXPECT_EQ(head->x1, 0);
    EXPECT_EQ(head->y1, headY);
    EXPECT_EQ((head + 1)->text, tableUnitLine());
    EXPECT_EQ((head + 1)->y1, headY + 250);
    EXPECT_EQ((head + 2)->text, QStringLiteral(" 1 "));
    EXPECT_EQ((head + 2)->y1, headY + 500);

    // After the last row: two empty lines, the page number, the end line.
    const auto lead = std::find_if(t.begin(), t.end(), [](const Call& c) { return c.text == tablePageLead(); });
    ASSERT_NE(lead, t.end());
    EXPECT_EQ(lead->y1, headY + 500 + 3 * 250 + 2 * 250);
    EXPECT_EQ((lead + 1)->x1, 5400);
    EXPECT_EQ(t.back().text, tableEndLine());
    EXPECT_EQ(t.back().y1, lead->y1 + 250);
}

TEST_F(DataTable, RowColumnsCarryTheDerivedValues) {
    // Sample 1 runs the motor; 2 has negative currents (negative reactive power, inductive); 3 idles below no-load;
    // 4 generates after a running sample; 5 has only two clamps' currents.
    const std::vector<Sample> samples = {
        {10, 220, 2, 10, 220, 2, 10, 220, 2},
        {-10, 220, 1, -10, 220, 1, -10, 220, 1},
        {1, 220, 0.1f, 1, 220, 0.1f, 1, 220, 0.1f},
        {10, 220, 2, 10, 220, 2, 10, 220, 2},
        {10, 230, -2, 10, 230, -2, 10, 230, -2},
        {12, 230, 2, 18, 230, 2, 0, 0, 0},
    };
    std::vector<Sample> file = samples;
    file.erase(file.begin() + 3);  // the generating sample follows a running one directly
    useFile(writeFile(this->file("m.mtq"), file, true, kNameplate, {1, 1, 0}));
    st.settings.YellowOn = 0;
    st.settings.recomputeWiringCode();
    ASSERT_TRUE(printDataTable(st, page, PrintHeader{}, {1, 5}));

    const auto expectRow = [&](int no, const Sample& s, const QString& pfLetter, std::optional<MotorState> motor) {
        SCOPED_TRACE(no);
        std::array<float, 9> sv = s;
        std::array<float, 12> v{};
        for (int k = 0; k < 9; ++k) v[k] = s[k];
        DeriveRecord(sv, v);
        const auto row = rowOf(no);
        EXPECT_EQ(row.at(12), formatFixed3((std::fabs(s[0]) + std::fabs(s[3]) + std::fabs(s[6])) / 3));
        EXPECT_EQ(row.at(22), formatFixed3((s[1] + s[4] + s[7]) / 3));
        EXPECT_EQ(row.at(32), formatFixed3(v[9]));
        EXPECT_EQ(row.at(42), formatFixed3(std::fabs(v[8])) + pfLetter);
        EXPECT_EQ(row.at(52), formatFixed3(std::fabs(v[5])));
        EXPECT_EQ(row.at(62), formatFixed3(v[2]));
        if (!motor) {
            EXPECT_EQ(row.count(72) + row.count(82) + row.count(92), 0u) << row.at(72).toStdString();
            return;
        }
        MotorValues m;
        confirmNameplate(m, kNameplate);
        ASSERT_EQ(classifyMotorState(m, v[2]), *motor);
        if (*motor == MotorState::Running) MotorOperatingPoint(m, v[2]);
        EXPECT_EQ(row.at(72), formatFixed3(m.MotorOutputPower));
        EXPECT_EQ(row.at(82), formatFixed3(m.MotorEfficiency));
        EXPECT_EQ(row.at(92), formatFixed3(m.MotorLoadRate));
    };
    expectRow(1, samples[0], QStringLiteral("C"), MotorState::Running);
    expectRow(2, samples[1], QStringLiteral("L"), MotorState::Running);
    expectRow(3, samples[2], QStringLiteral("C"), MotorState::BelowNoLoad);
    expectRow(4, samples[4], QStringLiteral("L"), std::nullopt);  // generating: blank, not sample 2's values
    // Two clamps: the three stored currents still divide by 3.
    expectRow(5, samples[5], QStringLiteral("C"), MotorState::Running);
    EXPECT_EQ(rowOf(5).at(12), QStringLiteral(" 10.000"));
    EXPECT_EQ(rowOf(3).at(72), QStringLiteral(" 0.000"));
}

TEST_F(DataTable, WithoutAUsableNameplateTheMotorColumnsStayBlank) {
    useFile(writeFile(file("m.mtq"), numberedSamples(2), true, {0, 0, 0, 0, 0, 0, 0}));
    confirmNameplate(st.motor, {0, 0, 0, 0, 0, 0, 0});
    // Values an earlier computation left behind must not reach the paper.
    st.motor.MotorOutputPower = 7.5f;
    ASSERT_TRUE(printDataTable(st, page, PrintHeader{}, {1, 2}));
    EXPECT_EQ(rowOf(2).count(72), 0u);
    EXPECT_EQ(rowOf(2).count(62), 1u);
}

TEST_F(DataTable, PrintingLeavesTheSharedSampleAndMotorValuesAlone) {
    useFile(writeFile(file("m.mtq"), numberedSamples(5)));
    st.live.LiveValues.fill(42);
    st.motor.MotorOutputPower = 1.25f;
    const auto live = st.live;
    ASSERT_TRUE(printDataTable(st, page, PrintHeader{}, {1, 5}));
    EXPECT_EQ(st.live.LiveValues, live.LiveValues);
    EXPECT_EQ(st.live.SampleValues, live.SampleValues);
    EXPECT_EQ(st.motor.MotorOutputPower, 1.25f);
}

TEST_F(DataTable, RangesOutsideTheFileOrNotWholeAreRefusedNamingTheValidRange) {
    struct Case {
        const char *first, *last;
        bool ok;
    };
    const Case cases[] = {
        {"1", "130", true},   {" 61 ", "130", true}, {"5", "5", true},     {"7.0", "9", true},
        {"0", "10", false},   {"1", "131", false},   {"10", "5", false},   {"1.5", "10", false},
        {"1", "9.99", false}, {"abc", "10", false},  {"", "10", false},    {"1", "", false},
        {"-3", "10", false},  {"1", "1e9", false},   {"nan", "10", false}, {"1", "inf", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.first << "\" \"" << c.last << '"');
        const Result<TableRange> r = parseTableRange(QLatin1String(c.first), QLatin1String(c.last), 130);
        EXPECT_EQ(r.ok(), c.ok);
        if (c.ok) {
            EXPECT_EQ(r->first, QString::fromLatin1(c.first).trimmed().toDouble());
            EXPECT_EQ(r->last, QString::fromLatin1(c.last).toDouble());
        } else {
            EXPECT_TRUE(r.message().contains(QStringLiteral("1 到 130")));
        }
    }
    const Result<TableRange> none = parseTableRange(QStringLiteral("1"), QStringLiteral("1"), 0);
    EXPECT_FALSE(none);
    EXPECT_FALSE(none.message().isEmpty());
}

TEST_F(DataTable, NothingIsPrintedForARangeReachingTheTrailerOrPastTheEnd) {
    useFile(writeFile(file("m.mtq"), numberedSamples(10)));
    for (TableRange r : {TableRange{1, 11}, TableRange{11, 12}, TableRange{0, 3}, TableRange{5, 4}}) {
        SCOPED_TRACE(testing::Message() << r.first << ".." << r.last);
        RecordingSurface s;
        const Status printed = printDataTable(st, s, PrintHeader{}, r);
        EXPECT_FALSE(printed);
        EXPECT_TRUE(s.calls.empty());
        EXPECT_TRUE(printed.message().contains(QStringLiteral("1 到 10")));
    }
}

TEST_F(DataTable, AFileWithoutTrailerPrintsItsWholeSamplesAndADamagedOneNothing) {
    const QString open = writeFile(file("open.mtq"), numberedSamples(7), false);
    EXPECT_EQ(*tableSampleCount(open), 7);
    EXPECT_EQ(*tableSampleCount(writeFile(file("whole.mtq"), numberedSamples(7))), 7);

    const QString damaged = writeFile(file("damaged.mtq"), numberedSamples(7));
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("\0\0\0\0", 4);  // one record too many: neither complete nor a receive cut short
    }
    useFile(damaged);
    EXPECT_FALSE(tableSampleCount(damaged));
    const Status printed = printDataTable(st, page, PrintHeader{}, {1, 7});
    EXPECT_FALSE(printed);
    EXPECT_TRUE(page.calls.empty());
    EXPECT_TRUE(printed.message().contains(QStringLiteral("损坏")));

    useFile(file("missing.mtq"));
    EXPECT_FALSE(printDataTable(st, page, PrintHeader{}, {1, 1}));
    EXPECT_TRUE(page.calls.empty());
}

// The tool's PDF read back as text: the headings and every row line up column by column.
TEST(DataTableTool, PdfTextHasAlignedColumnsAndEveryRow) {
    const QString tool = QStringLiteral(MERVO_BUILT_BIN_DIR "/mervo-tool");
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) GTEST_SKIP() << "no pdftotext";
    QTemporaryDir dir;
    const QString in = writeFile(dir.filePath(QStringLiteral("m.mtq")), numberedSamples(130));
    const QString out = dir.filePath(QStringLiteral("t.pdf"));

    QProcess p;
    p.start(tool, {QStringLiteral("table"), in, QStringLiteral("-o"), out, QStringLiteral("--from"),
                   QStringLiteral("2"), QStringLiteral("--org"), QStringLiteral("某某厂"), QStringLiteral("--date"),
                   QStringLiteral("2024,3,7,9,5")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    ASSERT_EQ(p.exitCode(), 0) << err.toStdString();
    // 129 rows: 60, 65 and 4 on three pages, announced before the first.
    EXPECT_TRUE(err.startsWith(QStringLiteral("table: 3 pages for rows 2 to 130\n"))) << err.toStdString();

    QProcess t;
    t.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), out, QStringLiteral("-")});
    ASSERT_TRUE(t.waitForFinished(60000));
    const QString text = QString::fromUtf8(t.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("某某厂")));
    EXPECT_TRUE(text.contains(QStringLiteral("2024年3月7日")));
    EXPECT_TRUE(text.contains(QStringLiteral("-- END --")));
    EXPECT_EQ(text.count(QLatin1Char('\f')), 3);  // 2..61, 62..126, 127..130

    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("有功功率\\s+输出功率"))), 3);

    // Word boxes: every row's active power and load rate stand inside the span of their headings.
    QProcess b;
    b.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), out, QStringLiteral("-")});
    ASSERT_TRUE(b.waitForFinished(60000));
    struct Word {
        double x0, x1;
        QString text;
    };
    static const QRegularExpression wordRe(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">([^<]*)</word>"));
    std::vector<int> rows;
    // Words come column by column; lines are rebuilt per page from their top edge.
    for (const QString& pageText : QString::fromUtf8(b.readAllStandardOutput()).split(QStringLiteral("<page "))) {
        std::map<double, std::vector<Word>> lines;
        for (auto it = wordRe.globalMatch(pageText); it.hasNext();) {
            const auto m = it.next();
            lines[m.captured(2).toDouble()].push_back({m.captured(1).toDouble(), m.captured(3).toDouble(), m.captured(4)});
        }
        const Word *active = nullptr, *load = nullptr, *number = nullptr;
        for (auto& [y, line] : lines) {
            std::sort(line.begin(), line.end(), [](const Word& l, const Word& r) { return l.x0 < r.x0; });
            for (const Word& w : line) {
                if (w.text == QStringLiteral("有功功率")) active = &w;
                if (w.text == QStringLiteral("负载率")) load = &w;
                if (w.text == QStringLiteral("序号")) number = &w;
            }
            bool isInt = false;
            const int no = line.front().text.toInt(&isInt);
            if (!isInt || line.size() != 10) continue;
            ASSERT_TRUE(active && load && number);
            rows.push_back(no);
            SCOPED_TRACE(no);
            EXPECT_EQ(line[1].text, formatFixed3(float(no)).trimmed());
            EXPECT_EQ(line[6].text, QStringLiteral("0.600"));
            EXPECT_GE(line[6].x0, active->x0);
            EXPECT_LE(line[6].x1, active->x1);
            EXPECT_GE(line[9].x0, load->x0 - 1);
            EXPECT_LE(line[9].x1, load->x1 + 1);
            EXPECT_NEAR(line[0].x0, number->x0, 1);
        }
    }
    EXPECT_EQ(rows, seq(2, 130));
}

TEST(DataTableTool, ARangeBeyondTheFileFailsWithTheValidRangeAndWritesNothing) {
    const QString tool = QStringLiteral(MERVO_BUILT_BIN_DIR "/mervo-tool");
    QTemporaryDir dir;
    const QString in = writeFile(dir.filePath(QStringLiteral("m.mtq")), numberedSamples(20));
    const QString out = dir.filePath(QStringLiteral("t.pdf"));
    for (const QStringList& range : {QStringList{"--to", "21"}, QStringList{"--from", "3.5"},
                                     QStringList{"--from", "9", "--to", "8"}}) {
        QProcess p;
        p.start(tool, QStringList{QStringLiteral("table"), in, QStringLiteral("-o"), out} + range);
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).contains(QStringLiteral("1 到 20")));
        EXPECT_FALSE(QFile::exists(out));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }
}

}  // namespace
}  // namespace mervo
