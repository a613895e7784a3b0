#include "windows/savings_page.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "files/side_settings.h"
#include "printing/assessment_report.h"
#include "printing/savings_table.h"
#include "shared/message_titles.h"
#include "shared/text_parse.h"
#include "windows/result_tables.h"

namespace mervo {

namespace {

enum PeriodColumn { kName, kFrom, kTo, kPrice, kPeriodColumns };

QString numberText(double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); }

// A header of name and unit in two lines, so a column is as wide as its figures rather than its words.
QStringList twoLineHeader(QStringList header) {
    for (QString& h : header) h.replace(QStringLiteral(" ("), QStringLiteral("\n("));
    return header;
}

QString cellText(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text().trimmed() : QString();
}

// A new empty row at `row`, its cells ready to be typed into.
void insertPeriodRow(QTableWidget* t, int row) {
    t->insertRow(row);
    for (int c = 0; c < kPeriodColumns; ++c) t->setItem(row, c, new QTableWidgetItem);
}

}  // namespace

SavingsPage::SavingsPage(MessageBoxes& messages, QString programDir, QWidget* parent)
    : QWidget(parent), messages_(messages), dir_(std::move(programDir)) {
    setObjectName(QStringLiteral("savingsPage"));
    motorPrices_ = lastSavingsChoices(dir_).motorPrices;

    auto* top = new QWidget(this);
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(buildInputs());
    // The periods, and below them what each came to.
    auto* middle = new QWidget(top);
    auto* column = new QVBoxLayout(middle);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(buildPeriods(), 1);
    touBox = new QGroupBox(QStringLiteral("分时电量与电费"), middle);
    auto* touLayout = new QVBoxLayout(touBox);
    touTable = makeResultTable(touBox, "savingsTou", twoLineHeader(touTableHeader()));
    touLayout->addWidget(touTable);
    touBox->hide();
    column->addWidget(touBox, 1);
    row->addWidget(middle);
    auto* annualBox = new QGroupBox(QStringLiteral("年值与最大需量"), top);
    auto* annualLayout = new QVBoxLayout(annualBox);
    annualTable = makeResultTable(annualBox, "savingsAnnual", assessmentTableHeader());
    annualLayout->addWidget(annualTable);
    row->addWidget(annualBox, 1);

    auto* candidateBox =
        new QGroupBox(QStringLiteral("候选电机（按年节电量排列，过载的排在最后；在“价格”列输入电机价格即得回收期）"), this);
    auto* candidateLayout = new QVBoxLayout(candidateBox);
    candidateTable = makeResultTable(candidateBox, "savingsCandidates", twoLineHeader(candidateTableHeader()));
    candidateTable->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed);
    candidateTable->horizontalHeader()->setStretchLastSection(false);
    connect(candidateTable, &QTableWidget::itemChanged, this, &SavingsPage::candidateTable_ItemChanged);
    candidateLayout->addWidget(candidateTable);

    auto* body = new QSplitter(Qt::Vertical, this);
    body->addWidget(top);
    body->addWidget(candidateBox);
    body->setStretchFactor(0, 1);
    body->setStretchFactor(1, 1);
    body->setSizes({360, 300});
    body->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(body, 1);
    noteText = new QLabel(this);
    noteText->setObjectName(QStringLiteral("savingsNote"));
    noteText->setWordWrap(true);
    noteText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(noteText);
    ruleText = new QLabel(QStringLiteral("计算规则：") + savingsRuleText(), this);
    ruleText->setWordWrap(true);
    ruleText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(ruleText);
    clearSavings();
}

QWidget* SavingsPage::buildInputs() {
    auto* box = new QGroupBox(QStringLiteral("输入"), this);
    auto* grid = new QGridLayout(box);
    // The inputs kept, else the defaults.
    const SavingsSettings defaults;
    const SavingsChoices kept = lastSavingsChoices(dir_);
    int line = 0;
    const auto edit = [&](const char* name, const QString& label, std::optional<double> value, double fallback,
                          const QString& unit, const QString& tip) {
        auto* e = new QLineEdit(numberText(value.value_or(fallback)), box);
        e->setObjectName(QLatin1String(name));
        e->setMaximumWidth(80);
        e->setToolTip(tip);
        connect(e, &QLineEdit::editingFinished, this, &SavingsPage::inputText_EditingFinished);
        grid->addWidget(new QLabel(label, box), line, 0);
        grid->addWidget(e, line, 1);
        grid->addWidget(new QLabel(unit, box), line, 2);
        ++line;
        return e;
    };
    hoursText = edit("savingsHours", QStringLiteral("年运行小时数"), kept.hours, defaults.hours, QStringLiteral("h"),
                     QStringLiteral("本次记录按此折算为全年（一年最多 8784 h）"));
    priceText = edit("savingsPrice", QStringLiteral("电价"), kept.price, defaults.price, QStringLiteral("元/kWh"),
                     QStringLiteral("不分时的电价；有分时电价时，用于时段以外的时间"));
    co2Text = edit("savingsCo2", QStringLiteral("CO₂ 排放因子"), kept.co2, defaults.co2, QStringLiteral("kg/kWh"),
                   QStringLiteral("每 kWh 电能的 CO₂ 排放量"));
    auto* year = new QLabel(
        QStringLiteral("默认 %1 为 %2 年全国电网平均值").arg(numberText(defaults.co2)).arg(kCo2FactorYear), box);
    year->setEnabled(false);
    grid->addWidget(year, line++, 0, 1, 3);
    demandText = edit("savingsDemand", QStringLiteral("需量时段"), kept.demandMinutes, defaults.demandMinutes,
                      QStringLiteral("分钟"), QStringLiteral("最大需量取此时长内平均有功功率的最大值"));
    demandStepText = edit("savingsDemandStep", QStringLiteral("需量滑差"), kept.demandStepMinutes,
                          defaults.demandStepMinutes, QStringLiteral("分钟"), QStringLiteral("平均的时段每次向后移动的时间"));
    grid->setRowStretch(line, 1);
    return box;
}

QWidget* SavingsPage::buildPeriods() {
    auto* box = new QGroupBox(QStringLiteral("分时电价（无时段即单一电价）"), this);
    auto* row = new QHBoxLayout(box);
    periodTable = new QTableWidget(0, kPeriodColumns, box);
    periodTable->setObjectName(QStringLiteral("savingsPeriods"));
    periodTable->setHorizontalHeaderLabels(twoLineHeader(
        {QStringLiteral("名称"), QStringLiteral("起 (时:分)"), QStringLiteral("止 (时:分)"), QStringLiteral("电价 (元/kWh)")}));
    periodTable->verticalHeader()->setDefaultSectionSize(periodTable->fontMetrics().height() + 6);
    periodTable->setToolTip(QStringLiteral("时段可跨零点（如 22:00 到 08:00）；时段重叠时靠前的一行优先；"
                                           "不在任何时段的时间按左侧电价计"));
    periodTable->resizeColumnsToContents();
    periodTable->setColumnWidth(kName, periodTable->fontMetrics().horizontalAdvance(QStringLiteral("名称名称名称")));
    periodTable->setMinimumWidth(periodTable->horizontalHeader()->length() + periodTable->verticalHeader()->width() +
                                 24);
    connect(periodTable, &QTableWidget::cellChanged, this, &SavingsPage::periodTable_CellChanged);
    row->addWidget(periodTable, 1);
    auto* buttons = new QVBoxLayout;
    const auto button = [&](const QString& text, const char* name, void (SavingsPage::*handler)()) {
        auto* b = new QPushButton(text, box);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
        return b;
    };
    addPeriodButton = button(QStringLiteral("添加"), "savingsAddPeriod", &SavingsPage::addPeriodButton_Click);
    removePeriodButton = button(QStringLiteral("删除"), "savingsRemovePeriod", &SavingsPage::removePeriodButton_Click);
    examplePeriodsButton =
        button(QStringLiteral("示例"), "savingsExamplePeriods", &SavingsPage::examplePeriodsButton_Click);
    examplePeriodsButton->setToolTip(QStringLiteral("填入一组可修改的示例时段（没有全国统一的分时电价）"));
    clearPeriodsButton = button(QStringLiteral("清空"), "savingsClearPeriods", &SavingsPage::clearPeriodsButton_Click);
    buttons->addStretch(1);
    row->addLayout(buttons);
    // The periods kept; a text that no longer reads as periods is let go.
    const Result<std::vector<TouPeriod>> kept = parseTouPeriods(lastSavingsChoices(dir_).periods);
    if (kept) fillPeriods(*kept);
    return box;
}

void SavingsPage::fillPeriods(const std::vector<TouPeriod>& periods) {
    const QSignalBlocker quiet(periodTable);
    periodTable->setRowCount(0);
    for (const TouPeriod& p : periods) {
        const int r = periodTable->rowCount();
        insertPeriodRow(periodTable, r);
        periodTable->item(r, kName)->setText(p.name);
        periodTable->item(r, kFrom)->setText(dayClockText(p.from));
        periodTable->item(r, kTo)->setText(dayClockText(p.to));
        periodTable->item(r, kPrice)->setText(numberText(p.price));
    }
}

bool SavingsPage::rowEmpty(int row) const {
    for (int c = 0; c < kPeriodColumns; ++c)
        if (!cellText(periodTable, row, c).isEmpty()) return false;
    return true;
}

bool SavingsPage::rowComplete(int row) const {
    for (int c = 0; c < kPeriodColumns; ++c)
        if (cellText(periodTable, row, c).isEmpty()) return false;
    return true;
}

std::optional<std::vector<TouPeriod>> SavingsPage::periods(int* bad, bool* incomplete) const {
    std::vector<TouPeriod> out;
    for (int r = 0; r < periodTable->rowCount(); ++r) {
        if (rowEmpty(r)) continue;
        *bad = r;
        *incomplete = !rowComplete(r);
        if (*incomplete) return std::nullopt;
        // A row read as the periods' own text form, so the table and the command line take the same periods.
        const Result<std::vector<TouPeriod>> p =
            parseTouPeriods(QStringLiteral("%1-%2=%3@%4")
                                .arg(cellText(periodTable, r, kFrom), cellText(periodTable, r, kTo),
                                     cellText(periodTable, r, kName), cellText(periodTable, r, kPrice)));
        if (!p || p->size() != 1) return std::nullopt;
        out.push_back(p->front());
    }
    return out;
}

std::optional<SavingsSettings> SavingsPage::settings() {
    SavingsSettings s;
    const auto refuse = [this](const QString& why, QWidget* where) {
        messages_.show(why, operationErrorTitle(), MessageButtons::Ok);
        where->setFocus();
        return std::nullopt;
    };
    const struct {
        QLineEdit* edit;
        double SavingsSettings::*member;
        const char* what;
    } fields[] = {{hoursText, &SavingsSettings::hours, "年运行小时数（0 到 8784）"},
                  {priceText, &SavingsSettings::price, "电价（元/kWh）"},
                  {co2Text, &SavingsSettings::co2, "CO₂ 排放因子（kg/kWh）"},
                  {demandText, &SavingsSettings::demandMinutes, "需量时段（分钟）"},
                  {demandStepText, &SavingsSettings::demandStepMinutes, "需量滑差（分钟）"}};
    for (const auto& f : fields) {
        const std::optional<double> v = numberFromText(f.edit->text());
        // Each value judged alone, so the message is about the field the cursor goes to.
        SavingsSettings alone;
        if (v) alone.*f.member = *v;
        const QString why = v ? checkSavingsSettings(alone)
                              : QStringLiteral("“%1”不是有效的数字：请输入%2").arg(f.edit->text(), QString::fromUtf8(f.what));
        if (!why.isEmpty()) {
            f.edit->selectAll();
            return refuse(why, f.edit);
        }
        s.*f.member = *v;
    }
    int bad = 0;
    bool incomplete = false;
    const std::optional<std::vector<TouPeriod>> periods = this->periods(&bad, &incomplete);
    if (!periods) {
        periodTable->setCurrentCell(bad, kName);
        return refuse(incomplete ? QStringLiteral("分时电价第 %1 行未填完：请填写名称、起止时刻和电价，或删除这一行").arg(bad + 1)
                                 : QStringLiteral("分时电价第 %1 行无效：起止时刻应为 时:分（00:00 到 24:00），电价为不小于 0 "
                                                  "的数字，名称不能含分号")
                                       .arg(bad + 1),
                      periodTable);
    }
    s.periods = *periods;
    s.motorPrices = motorPrices_;
    if (const QString why = checkSavingsSettings(s); !why.isEmpty()) return refuse(why, periodTable);
    rememberSavingsChoices(dir_, {s.hours, s.price, s.co2, s.demandMinutes, s.demandStepMinutes,
                                  touPeriodsText(s.periods), s.motorPrices});
    return s;
}

// ---------------------------------------------------------------------------------------------------------
// The figures

void SavingsPage::clearSavings() {
    annualTable->setRowCount(0);
    touTable->setRowCount(0);
    touBox->hide();
    {
        const QSignalBlocker quiet(candidateTable);
        candidateTable->clearSpans();
        candidateTable->setRowCount(0);
    }
    noteText->clear();
    noteText->hide();
}

void SavingsPage::showSavings(const Savings& s, const Assessment& a) {
    fillResultRows(annualTable, savingsRows(s, a));
    const auto tou = touRows(s);
    touBox->setVisible(!tou.empty());
    fillResultTable(touTable, tou);

    const QSignalBlocker quiet(candidateTable);
    if (s.candidates.empty()) {
        tellInTable(candidateTable, s.note);
    } else {
        const auto rows = candidateRows(s);
        candidateTable->clearSpans();
        candidateTable->setRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const Candidate& c = s.candidates[static_cast<size_t>(r)];
            for (int k = 0; k < kCandidateColumns; ++k) {
                const bool words = k <= 1 || k == 4 || k == 12;
                QTableWidgetItem* item = resultCell(rows[static_cast<size_t>(r)][static_cast<size_t>(k)], !words);
                if (k == kCandidatePriceColumn) {
                    item->setData(Qt::UserRole, c.key);
                    item->setToolTip(QStringLiteral("输入此电机的价格（元），清空则不计回收期"));
                } else {
                    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                }
                // An overloaded candidate is listed, not recommended.
                if (c.overloaded) item->setForeground(Qt::darkRed);
                candidateTable->setItem(r, k, item);
            }
        }
        candidateTable->resizeColumnsToContents();
        // Room for a price to be typed.
        const int priceWidth = candidateTable->fontMetrics().horizontalAdvance(QStringLiteral("0000000.00"));
        candidateTable->setColumnWidth(kCandidatePriceColumn,
                                       std::max(candidateTable->columnWidth(kCandidatePriceColumn), priceWidth));
    }
    noteText->setText(s.note.isEmpty() ? QString() : QStringLiteral("说明：") + s.note);
    noteText->setVisible(!s.note.isEmpty() && !s.candidates.empty());
}

// ---------------------------------------------------------------------------------------------------------
// The handlers

void SavingsPage::applied() {
    if (settings()) emit changed();
}

void SavingsPage::inputText_EditingFinished() { applied(); }

void SavingsPage::periodTable_CellChanged(int row, int) {
    // A row being filled in waits until it is complete.
    if (!rowEmpty(row) && !rowComplete(row)) return;
    applied();
}

void SavingsPage::addPeriodButton_Click() {
    const int r = periodTable->rowCount();
    {
        const QSignalBlocker quiet(periodTable);
        insertPeriodRow(periodTable, r);
    }
    periodTable->setFocus();
    periodTable->setCurrentCell(r, kName);
    periodTable->editItem(periodTable->item(r, kName));
}

void SavingsPage::removePeriodButton_Click() {
    std::set<int> rows;
    for (const QTableWidgetItem* item : periodTable->selectedItems()) rows.insert(item->row());
    if (rows.empty() && periodTable->currentRow() >= 0) rows.insert(periodTable->currentRow());
    if (rows.empty()) return;
    {
        const QSignalBlocker quiet(periodTable);
        for (auto r = rows.rbegin(); r != rows.rend(); ++r) periodTable->removeRow(*r);
    }
    applied();
}

bool SavingsPage::replacePeriods(const QString& question) {
    bool any = false;
    for (int r = 0; r < periodTable->rowCount(); ++r) any = any || !rowEmpty(r);
    return !any || messages_.show(question, assessmentReportTitle(), MessageButtons::YesNo) == MessageAnswer::Yes;
}

void SavingsPage::examplePeriodsButton_Click() {
    if (!replacePeriods(QStringLiteral("用示例时段替换现有的分时电价？"))) return;
    const Result<std::vector<TouPeriod>> example = parseTouPeriods(exampleTouPeriods());
    if (!example) return;
    fillPeriods(*example);
    applied();
}

void SavingsPage::clearPeriodsButton_Click() {
    if (!replacePeriods(QStringLiteral("清空分时电价，改按单一电价计算？"))) return;
    {
        const QSignalBlocker quiet(periodTable);
        periodTable->setRowCount(0);
    }
    applied();
}

void SavingsPage::candidateTable_ItemChanged(QTableWidgetItem* item) {
    const QString key = item->data(Qt::UserRole).toString();
    if (item->column() != kCandidatePriceColumn || key.isEmpty()) return;
    const QString text = item->text().trimmed();
    if (text.isEmpty()) {
        motorPrices_.erase(key);
    } else {
        const std::optional<double> yuan = numberFromText(text);
        SavingsSettings alone;
        if (yuan) alone.motorPrices[key] = *yuan;
        const QString why = yuan ? checkSavingsSettings(alone) : QStringLiteral("“%1”不是有效的价格").arg(text);
        if (!why.isEmpty()) {
            // The price kept before stays.
            const auto kept = motorPrices_.find(key);
            {
                const QSignalBlocker quiet(candidateTable);
                item->setText(kept == motorPrices_.end() ? QString() : motorPriceText(kept->second));
            }
            messages_.show(why + QStringLiteral("：请输入大于 0 的电机价格（元），清空则不计回收期"), operationErrorTitle(),
                           MessageButtons::Ok);
            candidateTable->setCurrentItem(item);
            return;
        }
        motorPrices_[key] = *yuan;
    }
    if (QTableWidgetItem* payback = candidateTable->item(item->row(), kCandidatePaybackColumn)) {
        const QSignalBlocker quiet(candidateTable);
        payback->setText(QStringLiteral("…"));
    }
    applied();
}

}  // namespace mervo
