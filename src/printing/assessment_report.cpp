#include "printing/assessment_report.h"

#include <algorithm>
#include <cmath>

#include "printing/long_text.h"
#include "printing/savings_table.h"

namespace mervo {

namespace {

// The printable area of an A4 page within a desktop printer's margins, for a surface that does not say its own.
constexpr double kPageWidth = 11186, kPageHeight = 16118;
constexpr double kMargin = 500;
constexpr double kTableFont = 10;  // points

// 0x00BBGGRR
constexpr Colour kBarFill = 0x00EBBE96, kBarEdge = 0x00C8461E;
constexpr Colour kActiveMark = 0x003C8200, kComprehensiveMark = 0x001E1EC8;

struct Frame {
    double left, right, bottom;
};

Frame frameOf(const Surface& s) {
    const double w = s.pageWidth() > 0 ? s.pageWidth() : kPageWidth;
    const double h = s.pageHeight() > 0 ? s.pageHeight() : kPageHeight;
    return {kMargin, w - kMargin, h - kMargin};
}

void font(Surface& s, double points, bool bold = false, const QString& face = QStringLiteral("宋体")) {
    s.setFont(FontSpec{face, points, bold});
}

void textAt(Surface& s, double x, double y, const QString& text, Colour c = kBlack) {
    s.setForeColor(c);
    s.setPosition(x, y);
    s.printText(text);
    s.setForeColor(kBlack);
}

void rightAt(Surface& s, double right, double y, const QString& text, Colour c = kBlack) {
    textAt(s, right - s.textWidth(text), y, text, c);
}

void centredAt(Surface& s, double centre, double y, const QString& text) {
    textAt(s, centre - s.textWidth(text) / 2, y, text);
}

// `text` from x to the frame's right, shrunk or wrapped to fit; the y below it.
double fitted(Surface& s, double x, double y, const QString& text, double right) {
    if (text.isEmpty()) return y + s.lineHeight();
    printFitted(s, x, y, text, right - x);
    return std::max(s.currentY(), y + s.lineHeight());
}

// A paragraph wrapped at the current size from x to the frame's right; the y below it.
double paragraph(Surface& s, double x, double y, const QString& text, double right) {
    for (const QString& line : wrapToWidth(s, text, right - x)) {
        textAt(s, x, y, line);
        y += s.lineHeight();
    }
    return y;
}

void pageFoot(Surface& s, const Frame& f, int pages) {
    font(s, 9);
    centredAt(s, (f.left + f.right) / 2, f.bottom - s.lineHeight(),
              QStringLiteral("第 %1 页，共 %2 页").arg(s.page()).arg(pages));
}

double heading(Surface& s, const Frame& f, double y, const QString& text) {
    font(s, 11, true, QStringLiteral("黑体"));
    textAt(s, f.left, y, text);
    return y + s.lineHeight() * 1.3;
}

// Lines of "label：text", the texts in one column after the widest label; a path shortened in its middle, any
// other text shrunk or wrapped to fit.
double labelledLines(Surface& s, const Frame& f, double y, const std::vector<std::pair<QString, QString>>& lines) {
    double labelWidth = 0;
    for (const auto& line : lines) labelWidth = std::max(labelWidth, s.textWidth(line.first + QStringLiteral("：")));
    const double valueX = f.left + labelWidth + 100;
    for (const auto& [label, value] : lines) {
        textAt(s, f.left, y, label + QStringLiteral("："));
        const QString shown = label.endsWith(QStringLiteral("数据文件")) ? elideMiddle(s, value, f.right - valueX) : value;
        y = fitted(s, valueX, y, shown, f.right);
    }
    return y;
}

// ---------------------------------------------------------------------------------------------------------
// Page 1

double measurementBlock(Surface& s, const Frame& f, double y, const Assessment& a, const AssessedFile& file,
                        const PrintHeader& h) {
    font(s, 10);
    std::vector<std::pair<QString, QString>> lines = {
        {QStringLiteral("使用单位"), h.organisation},
        {QStringLiteral("被测设备编号"), h.device},
        {QStringLiteral("测试日期"), QStringLiteral("%1年%2月%3日 %4时%5分")
                                         .arg(h.dateText(0), h.dateText(1), h.dateText(2), h.dateText(3), h.dateText(4))},
    };
    for (auto& line : assessedFileLines(a, file)) lines.push_back(line);
    if (const QString marks = markersText(a, file); !marks.isEmpty()) lines.push_back({QStringLiteral("标记"), marks});
    return labelledLines(s, f, y, lines);
}

double verdictBlock(Surface& s, const Frame& f, double y, const QString& verdict) {
    font(s, 12, true, QStringLiteral("黑体"));
    const QString lead = QStringLiteral("结论：");
    textAt(s, f.left, y, lead);
    return paragraph(s, f.left + s.textWidth(lead), y, verdict, f.right);
}

// The rule under a table's header row, and where the rows start.
double belowHeader(Surface& s, const Frame& f, double y) {
    y += s.lineHeight();
    s.line(f.left, y, f.right, y);
    return y + 40;
}

// A group of a table's rows opens with its name in bold at the frame's edge, a quarter line clear of the row
// before.
double groupRow(Surface& s, const Frame& f, double y, const QString& label) {
    font(s, kTableFont, true);
    y += s.lineHeight() * 0.25;
    textAt(s, f.left, y, label);
    return y + s.lineHeight();
}

double resultsTable(Surface& s, const Frame& f, double y, const std::vector<AssessmentRow>& rows) {
    font(s, kTableFont);
    const double w = f.right - f.left;
    const double valueRight = f.left + 0.46 * w, unitX = valueRight + 150, noteX = f.left + 0.56 * w;
    const QStringList header = assessmentTableHeader();
    font(s, kTableFont, true);
    textAt(s, f.left + 150, y, header[0]);
    rightAt(s, valueRight, y, header[1]);
    textAt(s, unitX, y, header[2]);
    textAt(s, noteX, y, header[3]);
    y = belowHeader(s, f, y);
    for (const AssessmentRow& r : rows) {
        if (r.group) {
            y = groupRow(s, f, y, r.label);
            continue;
        }
        font(s, kTableFont);
        textAt(s, f.left + 150, y, r.label);
        rightAt(s, valueRight, y, r.value);
        textAt(s, unitX, y, r.unit);
        y = fitted(s, noteX, y, r.note, f.right);
    }
    s.line(f.left, y + 40, f.right, y + 40);
    return y + 120;
}

// ---------------------------------------------------------------------------------------------------------
// Page 2

double profileChart(Surface& s, const Frame& f, double top, const LoadProfileChart& c) {
    font(s, 8);
    const double lh = s.lineHeight();
    const double x0 = f.left + 900, x1 = f.right - 300;
    const double y0 = top + 2 * lh + 60, y1 = y0 + 4200;
    const auto X = [&](double loadRate) { return x0 + (x1 - x0) * loadRate / c.loadRateTop; };
    const auto Y = [&](double share) { return y1 - (y1 - y0) * std::min(share, c.shareTop) / c.shareTop; };

    textAt(s, f.left, top, QStringLiteral("占区间时间 (%)"));
    // The value grid, dotted, with its labels at the left.
    s.setLineStyle(2);
    for (double v = c.shareStep; v <= c.shareTop + 1e-9; v += c.shareStep) s.line(x0, Y(v), x1, Y(v), kLightGrey);
    s.setLineStyle(0);
    for (double v = 0; v <= c.shareTop + 1e-9; v += c.shareStep) rightAt(s, x0 - 80, Y(v) - lh / 2, QString::number(v));

    // The bars, filled with strokes as wide as their spacing, and each one's share above it.
    for (const ProfileBar& b : c.bars) {
        const double left = X(b.from) + 30, right = X(b.to) - 30, height = Y(b.share);
        if (b.share > 0) {
            s.setPenWidth(2);
            for (double x = left + 15; x < right; x += 30) s.line(x, height, x, y1, kBarFill);
            s.setPenWidth(1);
            s.setForeColor(kBarEdge);
            s.box(left, height, right, y1);
            s.setForeColor(kBlack);
        }
        centredAt(s, (left + right) / 2, height - lh - 20, b.caption);
    }
    s.box(x0, y0, x1, y1);

    // The load-rate axis: the bands' edges, the open top band said in words.
    for (const ProfileBar& b : c.bars) {
        s.line(X(b.from), y1, X(b.from), y1 + 60);
        centredAt(s, X(b.from), y1 + 80, QString::number(b.from));
    }
    if (!c.bars.empty()) centredAt(s, (X(c.bars.back().from) + X(c.bars.back().to)) / 2, y1 + 80, QStringLiteral("以上"));
    centredAt(s, (x0 + x1) / 2, y1 + 100 + lh, QStringLiteral("负载率 (%)"));

    // The economic load rates: dashed lines, the lower one's label at its left, the higher one's at its right.
    struct Mark {
        QString name;
        double value;
        Colour colour;
    };
    std::vector<Mark> marks;
    if (c.betaActive) marks.push_back({QStringLiteral("β_a"), *c.betaActive, kActiveMark});
    if (c.betaComprehensive) marks.push_back({QStringLiteral("β_c"), *c.betaComprehensive, kComprehensiveMark});
    std::sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.value < b.value; });
    for (size_t k = 0; k < marks.size(); ++k) {
        const Mark& m = marks[k];
        if (!std::isfinite(m.value)) continue;
        const double x = X(std::clamp(m.value, 0.0, c.loadRateTop));
        s.setLineStyle(1);
        s.setPenWidth(2);
        s.line(x, y0, x, y1, m.colour);
        s.setPenWidth(1);
        s.setLineStyle(0);
        const QString label = betaMarkText(m.name, m.value);
        const bool leftSide = k == 0 && marks.size() > 1;
        if (leftSide) rightAt(s, x - 40, y0 - lh - 20, label, m.colour);
        else textAt(s, std::min(x + 40, f.right - s.textWidth(label)), y0 - lh - 20, label, m.colour);
    }
    return y1 + 200 + 2 * lh;
}

// A small table: its first column at the left, the others' figures right-aligned at the given edges.
template <size_t N>
double smallTable(Surface& s, const Frame& f, double y, const QStringList& header,
                  const std::vector<std::array<QString, N>>& rows, const std::array<double, N>& at) {
    font(s, 9, true);
    textAt(s, f.left + at[0], y, header.value(0));
    for (size_t k = 1; k < N; ++k) rightAt(s, f.left + at[k], y, header.value(static_cast<int>(k)));
    y += s.lineHeight();
    font(s, 9);
    for (const auto& r : rows) {
        textAt(s, f.left + at[0], y, r[0]);
        for (size_t k = 1; k < N; ++k) rightAt(s, f.left + at[k], y, r[k]);
        y += s.lineHeight();
    }
    return y;
}

// As many starts as the page holds; how many more there were is said in their place.
double startTable(Surface& s, const Frame& f, double y, const std::vector<std::array<QString, 4>>& rows) {
    font(s, 9, true);
    const QStringList header = startTableHeader();
    const double col[4] = {f.left + 150, f.left + 3600, f.left + 6000, f.left + 8400};
    textAt(s, col[0], y, header[0]);
    for (int k = 1; k < 4; ++k) rightAt(s, col[k], y, header[k]);
    y += s.lineHeight();
    font(s, 9);
    if (rows.empty()) return fitted(s, col[0], y, noStartsText(), f.right);
    const double lh = s.lineHeight();
    const auto room = static_cast<size_t>(std::max(1.0, std::floor((f.bottom - 2 * lh - y) / lh)));
    const size_t shown = rows.size() <= room ? rows.size() : room - 1;
    for (size_t i = 0; i < shown; ++i) {
        textAt(s, col[0], y, rows[i][0]);
        for (int k = 1; k < 4; ++k) rightAt(s, col[k], y, rows[i][static_cast<size_t>(k)]);
        y += lh;
    }
    if (shown < rows.size())
        y = fitted(s, col[0], y,
                   QStringLiteral("另有 %1 次起动未列出（共 %2 次，导出CSV可得全部）").arg(rows.size() - shown).arg(rows.size()),
                   f.right);
    return y;
}

// ---------------------------------------------------------------------------------------------------------
// The savings page

// The candidates, a column per figure as wide as its widest text, at a smaller size where the frame is too
// narrow for them (the model's column then taking what the others leave); each header is its name over its unit.
// As many rows as the page holds; how many more there were is said in their place.
double candidateTable(Surface& s, const Frame& f, double y,
                      const std::vector<std::array<QString, kCandidateColumns>>& rows) {
    constexpr size_t n = kCandidateColumns;
    constexpr double gap = 120;
    const QStringList header = candidateTableHeader();
    std::array<std::pair<QString, QString>, n> heads;
    for (size_t k = 0; k < n; ++k) {
        const QString& h = header[static_cast<int>(k)];
        const int cut = h.indexOf(QStringLiteral(" ("));
        heads[k] = cut < 0 ? std::make_pair(h, QString()) : std::make_pair(h.left(cut), h.mid(cut + 1));
    }
    std::array<double, n> width{};
    double size = 8;
    const auto measure = [&] {
        double total = gap * (n - 1);
        for (size_t k = 0; k < n; ++k) {
            font(s, size, true);
            width[k] = std::max(s.textWidth(heads[k].first), s.textWidth(heads[k].second));
            font(s, size);
            for (const auto& r : rows) width[k] = std::max(width[k], s.textWidth(r[k]));
            total += width[k];
        }
        return total;
    };
    double spare = f.right - f.left - measure();
    if (spare < 0) {
        size = 7;
        spare = f.right - f.left - measure();
    }
    if (spare < 0) width[1] = std::max(width[1] + spare, 600.0);
    const double space = gap + std::max(spare, 0.0) / (n - 1);
    std::array<double, n> left{};
    double x = f.left;
    for (size_t k = 0; k < n; ++k) {
        left[k] = x;
        x += width[k] + space;
    }
    // Words at the left of their column, figures at its right.
    const auto cellAt = [&](size_t k, double at, const QString& text) {
        if (k == 0 || k == 1 || k == 4 || k == 12) {
            if (s.textWidth(text) > width[k]) printFitted(s, left[k], at, text, width[k]);
            else textAt(s, left[k], at, text);
        } else {
            rightAt(s, left[k] + width[k], at, text);
        }
    };
    font(s, size, true);
    const double lh = s.lineHeight();
    for (size_t k = 0; k < n; ++k) {
        cellAt(k, y, heads[k].first);
        cellAt(k, y + lh, heads[k].second);
    }
    y += 2 * lh + 20;
    s.line(f.left, y, f.right, y);
    y += 40;
    font(s, size);
    const auto room = static_cast<size_t>(std::max(1.0, std::floor((f.bottom - 2 * lh - y) / lh)));
    const size_t shown = rows.size() <= room ? rows.size() : room - 1;
    for (size_t i = 0; i < shown; ++i) {
        for (size_t k = 0; k < n; ++k) cellAt(k, y, rows[i][k]);
        y += lh;
    }
    if (shown < rows.size())
        y = fitted(s, f.left, y,
                   QStringLiteral("另有 %1 个候选电机未列出（共 %2 个，导出CSV可得全部）")
                       .arg(rows.size() - shown)
                       .arg(rows.size()),
                   f.right);
    return y;
}

void savingsPage(Surface& s, const Frame& f, const Savings& v, const Assessment& a) {
    double y = heading(s, f, kMargin, QStringLiteral("节能与更换"));
    font(s, 10);
    y = labelledLines(s, f, y, savingsInputLines(v));
    y = resultsTable(s, f, y + 120, savingsRows(v, a));
    if (const auto tou = touRows(v); !tou.empty()) {
        y = heading(s, f, y + 80, QStringLiteral("分时电量与电费"));
        y = smallTable<5>(s, f, y, touTableHeader(), tou, {150, 3400, 5400, 7400, 9400});
        y += 120;
    }
    y = heading(s, f, y + 80, QStringLiteral("候选电机（按年节电量排列，过载的排在最后）"));
    font(s, 9);
    if (!v.note.isEmpty()) y = paragraph(s, f.left, y, QStringLiteral("说明：") + v.note, f.right);
    y = paragraph(s, f.left, y, QStringLiteral("计算规则：") + savingsRuleText(), f.right);
    if (!v.candidates.empty()) candidateTable(s, f, y + 120, candidateRows(v));
}

// ---------------------------------------------------------------------------------------------------------
// Before and after

// The comparison's table: words left, the two sides' figures and the difference right-aligned in their columns
// (a text too wide for its column shortened in its middle, as a file name reads best), the unit after them.
double comparisonTable(Surface& s, const Frame& f, double y, const std::vector<ComparisonRow>& rows) {
    const double w = f.right - f.left;
    const double beforeRight = f.left + 0.47 * w, afterRight = f.left + 0.67 * w, differenceRight = f.left + 0.885 * w;
    const double unitX = differenceRight + 120;
    const double columnWidth = 0.19 * w;
    const auto cell = [&](double right, const QString& text) {
        const QString shown = s.textWidth(text) > columnWidth ? elideMiddle(s, text, columnWidth) : text;
        rightAt(s, right, y, shown);
    };
    const QStringList header = retrofitTableHeader();
    font(s, kTableFont, true);
    textAt(s, f.left + 150, y, header[0]);
    cell(beforeRight, header[1]);
    cell(afterRight, header[2]);
    cell(differenceRight, header[3]);
    textAt(s, unitX, y, header[4]);
    y = belowHeader(s, f, y);
    for (const ComparisonRow& r : rows) {
        if (r.group) {
            y = groupRow(s, f, y, r.label);
            continue;
        }
        font(s, kTableFont);
        textAt(s, f.left + 150, y, r.label);
        cell(beforeRight, r.before);
        cell(afterRight, r.after);
        cell(differenceRight, r.difference);
        textAt(s, unitX, y, r.unit);
        y += s.lineHeight();
    }
    s.line(f.left, y + 40, f.right, y + 40);
    return y + 120;
}

}  // namespace

QString assessmentComparisonTitle() { return QStringLiteral("电动机能效评估 改造前 / 改造后"); }

Status printAssessmentComparison(const ComparedSide& before, const ComparedSide& after, const PrintHeader& header,
                                 Surface& s) {
    const Frame f = frameOf(s);
    s.setForeColor(kBlack);
    s.setLineStyle(0);
    s.setPenWidth(1);
    font(s, 16, true, QStringLiteral("黑体"));
    double y = kMargin;
    centredAt(s, (f.left + f.right) / 2, y, assessmentComparisonTitle());
    y += s.lineHeight() * 1.6;

    font(s, 10);
    std::vector<std::pair<QString, QString>> lines = {
        {QStringLiteral("使用单位"), header.organisation},
        {QStringLiteral("被测设备编号"), header.device},
        {QStringLiteral("测试日期"), QStringLiteral("%1年%2月%3日 %4时%5分")
                                         .arg(header.dateText(0), header.dateText(1), header.dateText(2),
                                              header.dateText(3), header.dateText(4))},
    };
    // Each side's file (its whole path), its span and nameplate; the inputs of the assessment once, they are alike.
    for (const auto& [side, name] : {std::make_pair(&before, QStringLiteral("改造前")), std::make_pair(&after, QStringLiteral("改造后"))}) {
        for (const auto& [label, text] : assessedFileLines(side->assessment, side->file))
            if (label == QStringLiteral("数据文件") || label == QStringLiteral("评估范围") || label == QStringLiteral("电机铭牌"))
                lines.push_back({name + label, text});
    }
    lines.push_back({QStringLiteral("无功经济当量 K_Q"), QStringLiteral("%1 kW/kvar").arg(after.assessment.settings.kq)});
    lines.push_back({QStringLiteral("目标功率因数"), QString::number(after.assessment.settings.targetPowerFactor)});
    y = labelledLines(s, f, y, lines);
    y += 120;

    font(s, 11, true, QStringLiteral("黑体"));
    for (const auto& [side, name] : {std::make_pair(&before, QStringLiteral("改造前结论：")),
                                     std::make_pair(&after, QStringLiteral("改造后结论："))}) {
        textAt(s, f.left, y, name);
        y = paragraph(s, f.left + s.textWidth(name), y, side->assessment.verdict, f.right);
    }
    y += 120;
    y = comparisonTable(s, f, y, comparisonRows(before, after));

    font(s, 9);
    std::vector<std::pair<QString, QString>> marks;
    for (const auto& [side, name] : {std::make_pair(&before, QStringLiteral("改造前标记")), std::make_pair(&after, QStringLiteral("改造后标记"))})
        if (const QString m = markersText(side->assessment, side->file, 8); !m.isEmpty()) marks.push_back({name, m});
    if (!marks.empty()) y = labelledLines(s, f, y, marks) + 60;
    paragraph(s, f.left, y, comparisonRuleText(), f.right);
    pageFoot(s, f, 1);
    if (!s.endDoc()) return Status::failure(QStringLiteral("打印机出错，对比报告未能打印"));
    return {};
}

QString assessmentReportTitle() { return QStringLiteral("电动机能效评估"); }

Status printAssessmentReport(const Assessment& a, const std::optional<Savings>& savings, const AssessedFile& file,
                             const PrintHeader& header, Surface& s) {
    const Frame f = frameOf(s);
    const bool motor = a.rated.has_value();
    const int pages = 1 + (motor ? 1 : 0) + (savings ? 1 : 0);
    s.setForeColor(kBlack);
    s.setLineStyle(0);
    s.setPenWidth(1);

    font(s, 16, true, QStringLiteral("黑体"));
    double y = kMargin;
    centredAt(s, (f.left + f.right) / 2, y, assessmentReportTitle() + QStringLiteral("报告"));
    y += s.lineHeight() * 1.6;
    y = measurementBlock(s, f, y, a, file, header);
    y += 120;
    y = verdictBlock(s, f, y, a.verdict);
    y += 120;
    y = resultsTable(s, f, y, assessmentRows(a, file));
    font(s, 9);
    y = paragraph(s, f.left, y, QStringLiteral("判定规则：") + zoneRuleText(), f.right);
    if (!motor) {
        font(s, 9);
        fitted(s, f.left, y + 120, QStringLiteral("负载分布与起动：%1").arg(a.motorNote), f.right);
    }
    pageFoot(s, f, pages);

    if (motor) {
        s.newPage();
        y = heading(s, f, kMargin, QStringLiteral("负载分布（稳定运行时间按负载率分段，标出经济负载率）"));
        y = profileChart(s, f, y, loadProfileChart(a));
        y = smallTable<4>(s, f, y + 100, profileTableHeader(), profileRows(a), {150, 3600, 6000, 8400});
        y = heading(s, f, y + 200, QStringLiteral("各运行区域的时间"));
        y = smallTable<3>(s, f, y, zoneTableHeader(), zoneRows(a), {150, 3600, 6000});
        y = heading(s, f, y + 200, QStringLiteral("起动"));
        startTable(s, f, y, startRows(a));
        pageFoot(s, f, pages);
    }
    if (savings) {
        s.newPage();
        savingsPage(s, f, *savings, a);
        pageFoot(s, f, pages);
    }
    if (!s.endDoc()) return Status::failure(QStringLiteral("打印机出错，评估报告未能打印"));
    return {};
}

}  // namespace mervo
