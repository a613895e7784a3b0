#include "windows/assessment_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "files/measurement_files.h"
#include "files/side_settings.h"
#include "platform/qt_widgets/printer_output.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "printing/assessment_report.h"
#include "export/csv_export.h"
#include "printing/savings_table.h"
#include "shared/message_titles.h"
#include "shared/text_parse.h"
#include "windows/load_profile_plot.h"
#include "windows/result_tables.h"
#include "windows/savings_page.h"

namespace mervo {

namespace {

constexpr int kSliceMs = 16;  // assessing per slice, so the window answers between
constexpr int64_t kStepSamples = 1 << 16;  // samples per step, a few milliseconds

QString windowTitleText() { return assessmentReportTitle(); }

}  // namespace

AssessmentWindow::AssessmentWindow(MessageBoxes& messages, FileDialogs& dialogs, QString programDir, QWidget* parent)
    : QWidget(parent, Qt::Window),
      messages_(messages),
      dialogs_(dialogs),
      dir_(std::move(programDir)),
      slicer_(kSliceMs),
      compareSlicer_(kSliceMs) {
    setObjectName(QStringLiteral("assessmentWindow"));
    setFont(designedFont());
    setWindowTitle(windowTitleText());
    resize(1180, 780);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QWidget(this);
    buildInputs(top);
    layout->addWidget(top);
    pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("assessmentPages"));
    pages->addTab(buildAssessmentPage(), QStringLiteral("能效评估"));
    savingsPage = new SavingsPage(messages_, dir_, pages);
    pages->addTab(savingsPage, QStringLiteral("节能与更换"));
    connect(savingsPage, &SavingsPage::changed, this, &AssessmentWindow::savingsPage_Changed);
    layout->addWidget(pages, 1);
    auto* foot = new QWidget(this);
    buildFoot(foot);
    layout->addWidget(foot);

    openOutput = [this](const QString& name) { return openDefaultOutput(name, dialogs_); };
    askCompare = askCompareChoice;
    clearResult();
}

AssessmentWindow::~AssessmentWindow() {
    slicer_.stop();
    compareSlicer_.stop();
}

void AssessmentWindow::buildInputs(QWidget* top) {
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(0, 0, 0, 0);
    // The last run's inputs, else the assessment's own defaults.
    const AssessmentSettings defaults;
    const AssessmentChoices kept = lastAssessmentChoices(dir_);
    const auto edit = [top](const char* name, double value, const QString& tip) {
        auto* e = new QLineEdit(QString::number(value), top);
        e->setObjectName(QLatin1String(name));
        e->setMaximumWidth(80);
        e->setToolTip(tip);
        return e;
    };
    row->addWidget(new QLabel(QStringLiteral("无功经济当量 K_Q"), top));
    kqText = edit("assessKq", kept.kq.value_or(defaults.kq),
                  QStringLiteral("每 kvar 无功在电网中引起的有功损耗（kW），常用 0.02～0.1：变压级数越多取值越大"));
    row->addWidget(kqText);
    row->addWidget(new QLabel(QStringLiteral("kW/kvar"), top));
    row->addSpacing(16);
    row->addWidget(new QLabel(QStringLiteral("目标功率因数"), top));
    targetPfText = edit("assessTargetPf", kept.targetPowerFactor.value_or(defaults.targetPowerFactor),
                        QStringLiteral("无功补偿容量按此功率因数计算"));
    row->addWidget(targetPfText);
    row->addSpacing(16);
    const auto spin = [top](const char* name) {
        auto* s = new QSpinBox(top);
        s->setObjectName(QLatin1String(name));
        s->setRange(1, 1);
        s->setMinimumWidth(110);
        return s;
    };
    row->addWidget(new QLabel(QStringLiteral("数据号"), top));
    fromBox = spin("assessFrom");
    row->addWidget(fromBox);
    row->addWidget(new QLabel(QStringLiteral("到"), top));
    toBox = spin("assessTo");
    row->addWidget(toBox);
    wholeButton = new QPushButton(QStringLiteral("全部"), top);
    wholeButton->setToolTip(QStringLiteral("评估整个测量"));
    connect(wholeButton, &QPushButton::clicked, this, &AssessmentWindow::wholeButton_Click);
    row->addWidget(wholeButton);
    row->addSpacing(16);
    assessButton = new QPushButton(QStringLiteral("评  估"), top);
    assessButton->setObjectName(QStringLiteral("assessButton"));
    connect(assessButton, &QPushButton::clicked, this, &AssessmentWindow::assessButton_Click);
    connect(kqText, &QLineEdit::returnPressed, this, &AssessmentWindow::assessButton_Click);
    connect(targetPfText, &QLineEdit::returnPressed, this, &AssessmentWindow::assessButton_Click);
    row->addWidget(assessButton);
    row->addStretch(1);
}

QWidget* AssessmentWindow::buildAssessmentPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    verdict = new QLabel(page);
    verdict->setObjectName(QStringLiteral("assessVerdict"));
    verdict->setFont(designedFont(QStringLiteral("黑体"), 12, true));
    verdict->setWordWrap(true);
    verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(verdict);
    fileLine = new QLabel(page);
    fileLine->setWordWrap(true);
    fileLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(fileLine);

    table = makeResultTable(page, "assessTable", assessmentTableHeader());
    table->setWordWrap(true);
    auto* right = new QWidget(page);
    auto* side = new QVBoxLayout(right);
    side->setContentsMargins(0, 0, 0, 0);
    side->addWidget(new QLabel(QStringLiteral("负载分布（稳定运行时间按负载率分段，标出经济负载率）"), right));
    profile = new LoadProfilePlot(right);
    profile->setObjectName(QStringLiteral("assessProfile"));
    side->addWidget(profile, 3);
    outside = new QLabel(right);
    outside->setWordWrap(true);
    side->addWidget(outside);
    side->addWidget(new QLabel(QStringLiteral("各运行区域的时间"), right));
    zoneTable = makeResultTable(right, "assessZones", zoneTableHeader());
    zoneTable->setMaximumHeight(zoneTable->verticalHeader()->defaultSectionSize() * 4 + 8);
    side->addWidget(zoneTable);
    side->addWidget(new QLabel(QStringLiteral("起动"), right));
    startTable = makeResultTable(right, "assessStarts", startTableHeader());
    side->addWidget(startTable, 1);

    auto* body = new QSplitter(Qt::Horizontal, page);
    body->addWidget(table);
    body->addWidget(right);
    body->setStretchFactor(0, 1);
    body->setStretchFactor(1, 1);
    body->setSizes({600, 560});
    layout->addWidget(body, 1);
    ruleText = new QLabel(zoneRuleText(), page);
    ruleText->setWordWrap(true);
    ruleText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(ruleText);
    return page;
}

void AssessmentWindow::buildFoot(QWidget* foot) {
    auto* row = new QHBoxLayout(foot);
    row->setContentsMargins(0, 0, 0, 0);
    progress = new QProgressBar(foot);
    progress->setMaximumWidth(200);
    progress->hide();
    row->addWidget(progress);
    status = new QLabel(foot);
    status->setObjectName(QStringLiteral("assessStatus"));
    row->addWidget(status, 1);
    // The printout's texts, as the print window keeps them.
    const std::optional<PrintedTexts> last = lastPrintedTexts(dir_);
    const PrintHeader designed;
    row->addWidget(new QLabel(QStringLiteral("使用单位"), foot));
    organisationText = new QLineEdit(last ? last->organisation : designed.organisation, foot);
    organisationText->setMaximumWidth(180);
    row->addWidget(organisationText);
    row->addWidget(new QLabel(QStringLiteral("被测设备编号"), foot));
    deviceText = new QLineEdit(last ? last->device : designed.device, foot);
    deviceText->setMaximumWidth(120);
    row->addWidget(deviceText);
    const auto button = [foot, row](const QString& text, const char* name) {
        auto* b = new QPushButton(text, foot);
        b->setObjectName(QLatin1String(name));
        row->addWidget(b);
        return b;
    };
    printButton = button(QStringLiteral("打印 / PDF"), "assessPrint");
    csvButton = button(QStringLiteral("导出CSV"), "assessCsv");
    compareButton = button(QStringLiteral("比较…"), "assessCompare");
    compareButton->setToolTip(QStringLiteral("与另一个测量（改造前或改造后）的评估并列打印在一页上"));
    connect(compareButton, &QPushButton::clicked, this, &AssessmentWindow::compareButton_Click);
    closeButton = button(QStringLiteral("关  闭"), "assessClose");
    connect(printButton, &QPushButton::clicked, this, &AssessmentWindow::printButton_Click);
    connect(csvButton, &QPushButton::clicked, this, &AssessmentWindow::csvButton_Click);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

// ---------------------------------------------------------------------------------------------------------
// The run

void AssessmentWindow::assess(const QString& path, int64_t from, int64_t to) {
    if (running()) {
        slicer_.stop();
        run_.reset();
    }
    path_ = path;
    setWindowTitle(QStringLiteral("%1 — %2").arg(windowTitleText(), QFileInfo(path).fileName()));
    clearResult();
    file_.reset();
    Result<AssessedFile> f = readAssessedFile(path);
    if (!f) {
        status->setText(f.message());
        messages_.show(f.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    file_ = *f;
    const int last = static_cast<int>(std::clamp<int64_t>(f->samples, 1, INT_MAX));
    for (QSpinBox* box : {fromBox, toBox}) {
        const QSignalBlocker quiet(box);
        box->setRange(1, last);
    }
    fromBox->setValue(static_cast<int>(std::clamp<int64_t>(from > 0 ? from : 1, 1, last)));
    toBox->setValue(static_cast<int>(std::clamp<int64_t>(to > 0 ? to : last, 1, last)));
    assessButton_Click();
}

void AssessmentWindow::wholeButton_Click() {
    fromBox->setValue(fromBox->minimum());
    toBox->setValue(toBox->maximum());
}

void AssessmentWindow::assessButton_Click() {
    if (running()) stopRun();
    else startRun(false);
}

void AssessmentWindow::savingsPage_Changed() {
    if (path_.isEmpty() || !file_) return;
    if (running()) {
        slicer_.stop();
        run_.reset();
    }
    startRun(result_.has_value());
}

void AssessmentWindow::stopRun() {
    slicer_.stop();
    run_.reset();
    progress->hide();
    assessButton->setText(QStringLiteral("评  估"));
    if (refreshing_ && result_) {
        // What is still shown is the last run's, whole: put back any price typed since.
        showResult();
        status->setText(QStringLiteral("评估已停止：显示的是上一次的结果"));
    } else {
        status->setText(QStringLiteral("评估已停止"));
    }
    refreshing_ = false;
}

void AssessmentWindow::startRun(bool keepShown) {
    if (path_.isEmpty()) return;
    AssessmentSettings settings;
    const std::optional<double> kq = numberFromText(kqText->text()), pf = numberFromText(targetPfText->text());
    QString why;
    if (!kq) why = QStringLiteral("“%1”不是有效的数字：请输入无功经济当量 K_Q（常用 0.02～0.1）").arg(kqText->text());
    else if (!pf) why = QStringLiteral("“%1”不是有效的数字：请输入目标功率因数（如 0.95）").arg(targetPfText->text());
    else {
        settings.kq = *kq;
        settings.targetPowerFactor = *pf;
        why = checkAssessmentSettings(settings);
    }
    if (!why.isEmpty()) {
        messages_.show(why, operationErrorTitle(), MessageButtons::Ok);
        (kq && why.contains(QStringLiteral("功率因数")) ? targetPfText : kqText)->setFocus();
        return;
    }
    const std::optional<SavingsSettings> savings = savingsPage->settings();
    if (!savings) {
        pages->setCurrentWidget(savingsPage);
        return;
    }
    AssessmentRequest request;
    request.file = path_;
    request.from = std::min(fromBox->value(), toBox->value());
    request.to = std::max(fromBox->value(), toBox->value());
    request.settings = settings;
    request.savings = *savings;
    request.catalogueDir = dir_;  // the motor catalogue beside the program
    refreshing_ = keepShown && result_;
    if (refreshing_) {
        printButton->setEnabled(false);
        csvButton->setEnabled(false);
    } else {
        clearResult();
    }
    run_ = std::make_unique<AssessmentRun>();
    QString warning;
    if (Status s = run_->begin(request, &warning); !s) {
        run_.reset();
        refreshing_ = false;
        clearResult();
        status->setText(s.message());
        messages_.show(s.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    rememberAssessmentChoices(dir_, settings.kq, settings.targetPowerFactor);
    status->setText(warning);
    progress->setRange(0, static_cast<int>(std::min<int64_t>(run_->total(), INT_MAX)));
    progress->setValue(0);
    progress->show();
    assessButton->setText(QStringLiteral("停  止"));
    slicer_.start([this] { return run_->step(kStepSamples); }, [this](bool over) { slice(over); });
}

void AssessmentWindow::slice(bool over) {
    progress->setValue(static_cast<int>(std::min<int64_t>(run_->done(), INT_MAX)));
    if (over) finished();
    else status->setText(QStringLiteral("正在评估 %1 / %2 组").arg(run_->done()).arg(run_->total()));
}

void AssessmentWindow::finished() {
    slicer_.stop();
    progress->hide();
    assessButton->setText(QStringLiteral("评  估"));
    refreshing_ = false;
    if (run_->failed()) {
        const QString why = run_->error();
        run_.reset();
        clearResult();
        status->setText(why);
        messages_.show(why, errorTitle(), MessageButtons::Ok);
        return;
    }
    result_ = run_->result();
    savings_ = run_->savings(*result_);
    run_.reset();
    status->setText(QStringLiteral("评估完成：第 %1 到 %2 组").arg(result_->electrical.firstNumber).arg(result_->electrical.lastNumber));
    showResult();
}

// ---------------------------------------------------------------------------------------------------------
// The results

void AssessmentWindow::clearResult() {
    result_.reset();
    savings_.reset();
    savingsPage->clearSavings();
    verdict->setText(path_.isEmpty() ? QString() : QStringLiteral("（尚未评估）"));
    fileLine->clear();
    outside->clear();
    table->setRowCount(0);
    zoneTable->setRowCount(0);
    startTable->clearSpans();
    startTable->setRowCount(0);
    profile->draw(LoadProfileChart());
    printButton->setEnabled(false);
    csvButton->setEnabled(false);
    compareButton->setEnabled(false);
}

void AssessmentWindow::showResult() {
    const Assessment& a = *result_;
    verdict->setText(a.verdict);
    QStringList facts;
    for (const auto& [label, text] : assessedFileLines(a, *file_)) facts << label + QStringLiteral("：") + text;
    fileLine->setText(facts.join(QStringLiteral("　")));

    fillResultRows(table, assessmentRows(a, *file_));

    if (a.rated) {
        fillResultTable(zoneTable, zoneRows(a));
        if (a.starts.empty()) tellInTable(startTable, noStartsText());
        else fillResultTable(startTable, startRows(a));
    } else {
        tellInTable(zoneTable, a.motorNote);
        tellInTable(startTable, a.motorNote);
    }
    showProfile(loadProfileChart(a));
    if (savings_) savingsPage->showSavings(*savings_, a);
    else savingsPage->clearSavings();
    printButton->setEnabled(true);
    csvButton->setEnabled(true);
    compareButton->setEnabled(!comparing());
}

void AssessmentWindow::showProfile(const LoadProfileChart& c) {
    profile->setVisible(!c.bars.empty());
    outside->setText(c.bars.empty() ? QStringLiteral("无负载分布：%1").arg(result_->motorNote)
                                    : QStringLiteral("负载率区间以外：") + c.outside);
    profile->draw(c);
}

// ---------------------------------------------------------------------------------------------------------
// Printing and CSV

PrintHeader AssessmentWindow::printHeader() const {
    PrintHeader h = headerForFile(path_);
    h.organisation = organisationText->text();
    h.device = deviceText->text();
    return h;
}

void AssessmentWindow::printButton_Click() {
    if (!result_ || !file_) return;
    const QString name = assessmentReportTitle();
    Result<std::unique_ptr<PrintOutput>> out = openOutput(name);
    if (!out) {
        messages_.show(out.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    if (!*out) return;  // the save dialog was cancelled: the operator's choice
    const PrintHeader h = printHeader();
    const Status s = printDocument(
        **out, [&](Surface& page) { return printAssessmentReport(*result_, savings_, *file_, h, page); });
    if (!s) {
        messages_.show(QStringLiteral("“%1”未能打印：%2").arg(name, s.message()), errorTitle(), MessageButtons::Ok);
        return;
    }
    rememberPrintedTexts(dir_, {h.organisation, h.device});
    status->setText(QStringLiteral("评估报告已打印"));
}

void AssessmentWindow::csvButton_Click() {
    if (!result_ || !file_) return;
    const std::optional<QString> path =
        dialogs_.choose(saveRequest(QStringLiteral("导出CSV"), QStringLiteral("CSV 文件(*.csv)"), QStringLiteral("csv")));
    if (!path) return;
    if (Status s = writeCsvTable(*path, assessmentCsvRows(*result_, savings_, *file_, printHeader()), true); !s) {
        messages_.show(QStringLiteral("评估结果导出失败！\r\n%1").arg(s.message()), errorTitle(), MessageButtons::Ok);
        return;
    }
    status->setText(QStringLiteral("评估结果已导出到 %1").arg(*path));
}

// ---------------------------------------------------------------------------------------------------------
// 比较…

void AssessmentWindow::compareButton_Click() {
    if (!result_ || !file_ || comparing()) return;
    FileDialogRequest r;
    r.kind = FileDialogRequest::Kind::Open;
    r.title = QStringLiteral("比较");
    r.filter = QString::fromUtf8(kMeasurementFilter);
    r.mustExist = true;
    const std::optional<QString> path = dialogs_.choose(r);
    if (!path || path->isEmpty()) return;
    Result<AssessedFile> f = readAssessedFile(*path);
    if (!f) {
        messages_.show(f.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    const std::optional<CompareChoice> choice = askCompare(*f, this);
    if (!choice) return;
    AssessmentRequest request;
    request.file = *path;
    request.from = choice->from;
    request.to = choice->to;
    request.settings = result_->settings;  // the inputs of the assessment it stands beside
    compareRun_ = std::make_unique<AssessmentRun>();
    if (Status s = compareRun_->begin(request); !s) {
        compareRun_.reset();
        messages_.show(s.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    compareFile_ = *f;
    compareIsBefore_ = choice->chosenIsBefore;
    compareButton->setEnabled(false);
    compareSlicer_.start([this] { return compareRun_->step(kStepSamples); }, [this](bool over) { compareSlice(over); });
}

void AssessmentWindow::compareSlice(bool over) {
    if (over) compareFinished();
    else status->setText(QStringLiteral("正在评估比较的测量 %1 / %2 组").arg(compareRun_->done()).arg(compareRun_->total()));
}

void AssessmentWindow::compareFinished() {
    compareSlicer_.stop();
    compareButton->setEnabled(result_.has_value());
    const bool failed = compareRun_->failed();
    const QString why = compareRun_->error();
    const Assessment other = failed ? Assessment() : compareRun_->result();
    compareRun_.reset();
    if (failed) {
        status->setText(why);
        messages_.show(why, errorTitle(), MessageButtons::Ok);
        return;
    }
    if (!result_ || !file_) return;  // the assessment shown went meanwhile
    const ComparedSide chosen{other, *compareFile_}, shown{*result_, *file_};
    const ComparedSide& before = compareIsBefore_ ? chosen : shown;
    const ComparedSide& after = compareIsBefore_ ? shown : chosen;
    const QString name = assessmentComparisonTitle();
    Result<std::unique_ptr<PrintOutput>> out = openOutput(name);
    if (!out) {
        messages_.show(out.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    if (!*out) {
        status->setText(QString());
        return;
    }
    const PrintHeader h = printHeader();
    if (Status s = printDocument(**out, [&](Surface& page) { return printAssessmentComparison(before, after, h, page); }); !s) {
        messages_.show(QStringLiteral("“%1”未能打印：%2").arg(name, s.message()), errorTitle(), MessageButtons::Ok);
        return;
    }
    rememberPrintedTexts(dir_, {h.organisation, h.device});
    status->setText(QStringLiteral("对比报告已打印"));
}

}  // namespace mervo
