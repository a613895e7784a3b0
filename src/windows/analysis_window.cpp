#include "windows/analysis_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>

#include "files/recovery_offer.h"
#include "analysis/record_sliders.h"
#include "platform/program_dir.h"
#include "windows/end_key.h"
#include "platform/qt_widgets/picture_box.h"
#include "platform/qt_widgets/designed_controls.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "shared/number_format.h"
#include "shared/message_titles.h"

namespace mervo {

namespace {

constexpr int kSliceMs = 16;       // work per slice, so the window repaints and buttons answer between
// Samples per step of a slice: enough for the pass to share its chunks with a second core, few enough that a
// step ends within a few milliseconds.
constexpr int64_t kStepSamples = 32768;

struct PanelRow {
    int box, top;
    const char* caption;
    const char* unit;
};
const PanelRow kValueRows[12] = {
    {0, 240, "一路电流", "A"},     {1, 600, "一路电压", "V"},      {3, 960, "二路电流", "A"},
    {4, 1320, "二路电压", "V"},    {6, 1680, "三路电流", "A"},     {7, 2040, "三路电压", "V"},
    {2, 2400, "有功功率", "kW"},   {5, 2760, "无功功率", "kVar"},  {8, 3120, "功率因数", "L"},
    {9, 3480, "视在功率", "kVa"},  {10, 3840, "有功电量", "W·h"}, {11, 4200, "无功电量", "Var·h"},
};
const PanelRow kMotorRows[4] = {
    {15, 240, "输入功率", "kW"}, {16, 600, "输出功率", "kW"}, {17, 960, "效　　率", "%"}, {18, 1320, "负 载 率", "%"}};

QLabel* label(QWidget* parent, const QString& text, int left, int top, int width = 840) {
    return placed<QLabel>(parent, {}, left, top, width, 255, text);
}

QGroupBox* frame(QWidget* parent, const QString& title, int left, int top, int width, int height) {
    return placed<QGroupBox>(parent, {}, left, top, width, height, title);
}

}  // namespace

AnalysisWindow::AnalysisWindow(SharedState& state, MessageBoxes& messages, QString programDir, QWidget* parent)
    : QWidget(parent, Qt::Window), st_(state), messages_(messages), dir_(std::move(programDir)), slicer_(kSliceMs) {
    setObjectName(QStringLiteral("Form3"));
    setFont(designedFont());
    setFixedTwipsSize(this, 11550, 7230);
    buildPanel();
    buildCurves();
    buildQueryAndButtons();
    endProgram = [] { qApp->quit(); };
    watchEndKey(this, this, [this] { endProgram(); });
    Form_Load();
}

AnalysisWindow::~AnalysisWindow() { slicer_.stop(); }

void AnalysisWindow::buildPanel() {
    Frame1 = frame(this, QStringLiteral("分时数据"), 120, 0, 3855, 7095);
    Frame4 = frame(Frame1, QStringLiteral("常规数据"), 120, 240, 3615, 4575);
    Frame5 = frame(Frame1, QStringLiteral("电动机运行数据"), 120, 4920, 3615, 1695);
    auto box = [&](QWidget* parent, int n, int left, int top, int width) {
        Picture1[n] = new PictureBox(parent, width, 255);
        Picture1[n]->setObjectName(QStringLiteral("Picture1_%1").arg(n));
        Picture1[n]->move(px(left), px(top));
    };
    for (const PanelRow& r : kValueRows) {
        box(Frame4, r.box, 1080, r.top, 975);
        Label1[r.box] = label(Frame4, QString::fromUtf8(r.caption), 240, r.top);
        Label2[r.box == 8 ? 10 : (r.box == 10 ? 8 : r.box)] = label(Frame4, QString::fromUtf8(r.unit), 2160, r.top, 600);
    }
    for (const PanelRow& r : kMotorRows) {
        box(Frame5, r.box, 1080, r.top, 975);
        Label1[r.box] = label(Frame5, QString::fromUtf8(r.caption), 240, r.top);
        Label2[r.box] = label(Frame5, QString::fromUtf8(r.unit), 2160, r.top, 600);
        // The frame's caption turns red for a motor that is not running; its labels keep their own black
        // rather than inherit the frame's colour.
        for (QLabel* l : {Label1[r.box], Label2[r.box]}) {
            QPalette pal = l->palette();
            pal.setColor(QPalette::WindowText, Qt::black);
            l->setPalette(pal);
        }
    }
    Label1[12] = label(Frame1, QStringLiteral("累计时间"), 360, 6720);
    const char* units[3] = {"时", "分", "秒"};
    for (int k = 0; k < 3; ++k) {
        box(Frame1, 12 + k, 1200 + 720 * k, 6720, 375);
        Label2[12 + k] = label(Frame1, QString::fromUtf8(units[k]), 1620 + 720 * k, 6720, 255);
    }
    box(Frame1, 19, 3360, 6720, 375);
}

void AnalysisWindow::buildCurves() {
    Frame2 = frame(this, QStringLiteral("分时曲线"), 4080, 0, 7335, 2655);
    Frame3 = frame(this, QStringLiteral("累计曲线"), 4080, 2760, 7335, 3135);
    for (int k = 0; k < kCurves; ++k) {
        Picture2[k] = new PictureBox(Frame3, 6135, 1815);
        Picture2[k]->move(px(600), px(480));
        Picture2[k]->setToolTip(QString::fromUtf8(kCurveTable[k].cumTip));
        Picture3[k] = new PictureBox(Frame2, 6135, 1815);
        Picture3[k]->move(px(600), px(480));
        Picture3[k]->setToolTip(QString::fromUtf8(kCurveTable[k].segTip));
        boxes_.cumulative[k] = &Picture2[k]->surface();
        boxes_.segmented[k] = &Picture3[k]->surface();
    }
    // A value label's place is where its text begins, top left: centred in its height, it sank several pixels
    // below its grid line. A time label's place is the left of its 495 twips, which begin 230 twips left of its
    // grid line: its caption is centred in that width, so it stands under the line rather than beside it.
    for (int j = 0; j < kValueLabels; ++j) {
        Label5[j] = label(Frame3, QString(), 120, 480, 495);
        Label6[j] = label(Frame2, QString(), 120, 480, 495);
        Label5[j]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        Label6[j]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    for (int j = 0; j < kTimeLabels; ++j) {
        Label7[j] = label(Frame3, QString(), 600, 2280, 495);
        Label7[j]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    Label3 = label(Frame3, QString(), 6960, 2280, 300);
    Label4 = label(Frame3, QString(), 480, 240, 3015);
    HScroll1 = placed<QScrollBar>(Frame3, {}, 360, 2640, 6615, 255);
    HScroll2 = placed<QScrollBar>(Frame3, {}, 360, 2880, 6615, 255);
    for (QScrollBar* s : {HScroll1, HScroll2}) {
        s->setOrientation(Qt::Horizontal);
        s->hide();
    }
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll2->setObjectName(QStringLiteral("HScroll2"));
    connect(HScroll1, &QScrollBar::valueChanged, this, &AnalysisWindow::HScroll1_Change);
    connect(HScroll2, &QScrollBar::valueChanged, this, &AnalysisWindow::HScroll2_Change);
}

void AnalysisWindow::buildQueryAndButtons() {
    Frame6 = frame(this, QStringLiteral("数据查询"), 4080, 6000, 7335, 615);
    Label1[18] = label(Frame6, QStringLiteral("瞬时数据"), 960, 240, 735);
    Label1[13] = label(Frame6, QString(), 1800, 240, 1335);
    Label1[19] = label(Frame6, QStringLiteral("NO："), 3960, 240, 375);
    Text1 = placed<QLineEdit>(Frame6, QStringLiteral("Text1"), 4320, 240, 735, 270, QStringLiteral("1"));
    auto button = [&](QWidget* parent, const QString& text, const QString& tip, int left, int top, int w, int h,
                      const char* name) {
        auto* b = placed<QPushButton>(parent, QLatin1String(name), left, top, w, h, text);
        b->setToolTip(tip);
        return b;
    };
    Command3 = button(Frame6, QStringLiteral("查 询"), QStringLiteral("按数据号显示瞬时数据"), 5160, 240, 855, 255, "Command3");
    Command2 = button(this, QStringLiteral("重绘曲线"), QStringLiteral("重新描绘曲线"), 4680, 6720, 1095, 375, "Command2");
    Command4 = button(this, QStringLiteral("曲线选择"), QStringLiteral("曲线轮换显示"), 6840, 6720, 1095, 375, "Command4");
    Command1 = button(this, QStringLiteral("关  闭"), QString(), 9120, 6720, 1095, 375, "Command1");
    connect(Command1, &QPushButton::clicked, this, &AnalysisWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &AnalysisWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &AnalysisWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &AnalysisWindow::Command4_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &AnalysisWindow::Command3_Click);

    mnuF3 = new QMenu(QStringLiteral("操作菜单"), this);
    mnuF3->setObjectName(QStringLiteral("mnuF3"));
    mnuFEN = mnuF3->addMenu(QStringLiteral("分时数组"));
    auto segment = [&](const QString& text, int count, const char* name) {
        QAction* a = mnuFEN->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, count] { mnuSegment_Click(count); });
        return a;
    };
    mnu5 = segment(QStringLiteral("10组"), 5, "mnu5");
    mnu10 = segment(QStringLiteral("20组"), 10, "mnu10");
    mnu20 = segment(QStringLiteral("40组"), 20, "mnu20");
    mnuF3->addSeparator();
    mnuPr = mnuF3->addAction(QStringLiteral(" 打 印"));
    addKeyFor(this, QKeySequence(Qt::CTRL | Qt::Key_P), mnuPr);
    mnuPr->setObjectName(QStringLiteral("mnuPr"));
    connect(mnuPr, &QAction::triggered, this, &AnalysisWindow::mnuPr_Click);
    mnuTrend = mnuF3->addAction(QStringLiteral(" 趋势分析"));
    mnuTrend->setObjectName(QStringLiteral("mnuTrend"));
    addKeyFor(this, QKeySequence(Qt::CTRL | Qt::Key_T), mnuTrend);
    connect(mnuTrend, &QAction::triggered, this, [this] {
        if (openTrend) openTrend();
    });
    mnuAssess = mnuF3->addAction(QStringLiteral(" 电动机能效评估"));
    mnuAssess->setObjectName(QStringLiteral("mnuAssess"));
    connect(mnuAssess, &QAction::triggered, this, [this] {
        if (openAssessment) openAssessment();
    });
    mnuExport = mnuF3->addAction(QStringLiteral(" 导出数据(CSV)…"));
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    connect(mnuExport, &QAction::triggered, this, [this] {
        if (exportCsv) exportCsv();
    });
    mnuF3->addSeparator();
    mnuCl = mnuF3->addAction(QStringLiteral(" 关 闭"));
    mnuCl->setObjectName(QStringLiteral("mnuCl"));
    connect(mnuCl, &QAction::triggered, this, &AnalysisWindow::Command1_Click);
}

// ---------------------------------------------------------------------------------------------------------

void AnalysisWindow::Form_Load() {
    setWindowTitle(QStringLiteral("MERVO 电能综合测试仪_数据分析[%1]").arg(st_.file.WorkFile));
    mnuPr->setEnabled(false);
    mnuExport->setEnabled(false);
    mnuF3->setEnabled(false);
    Command3->setEnabled(false);
    if (st_.file.WorkFile.isEmpty()) st_.file.WorkFile = workFilePath(dir_);
    currentCurve_ = std::clamp<int>(st_.settings.CurveKind, 0, kCurves - 1);
    showCurve(currentCurve_);
    mnu5->setChecked(st_.settings.SegmentCount == 5);
    mnu10->setChecked(st_.settings.SegmentCount == 10);
    mnu20->setChecked(st_.settings.SegmentCount == 20);
}

void AnalysisWindow::showCurve(int c) {
    currentCurve_ = c;
    for (int k = 0; k < kCurves; ++k) {
        Picture2[k]->setVisible(k == c);
        Picture3[k]->setVisible(k == c);
    }
    Frame2->setTitle(QString::fromUtf8(kCurveTable[c].segTitle));
    Frame3->setTitle(QString::fromUtf8(kCurveTable[c].cumTitle));
    Label4->setText(st_.curves.CurveUnit[c]);
    showTicks();
}

void AnalysisWindow::showTicks() {
    for (QLabel* l : Label5) l->hide();
    for (QLabel* l : Label6) l->hide();
    for (QLabel* l : Label7) l->hide();
    if (!pass_ || !pass_->axesReady()) return;  // no axes before the pass has set them up
    const TickLabels t = tickLabels(st_.curves, currentCurve_, st_.file.TotalTime);
    for (size_t j = 0; j < t.value.size() && j < Label5.size(); ++j) {
        for (QLabel* l : {Label5[j], Label6[j]}) {
            l->setText(t.value[j].caption);
            l->move(l->x(), px(t.value[j].pos));
            l->show();
        }
    }
    for (size_t j = 0; j < t.time.size() && j < Label7.size(); ++j) {
        Label7[j]->setText(t.time[j].caption);
        Label7[j]->move(px(t.time[j].pos), Label7[j]->y());
        Label7[j]->show();
    }
    Label3->setText(t.timeUnit);
    Label4->setText(t.valueUnit);
}

void AnalysisWindow::showPanel(const PanelContent& p) {
    for (int n = 0; n < 20; ++n) {
        if (!p.boxes[n]) continue;
        Surface& s = Picture1[n]->surface();
        s.clear();
        if (!p.boxes[n]->isEmpty()) s.printText(*p.boxes[n]);
        Picture1[n]->refresh();
    }
    Label2[10]->setText(p.indicator);
    Frame5->setTitle(p.motorCaption);
    QPalette pal = Frame5->palette();
    pal.setColor(QPalette::WindowText, p.motorColour == 0 ? QColor(Qt::black) : QColor(Qt::red));
    Frame5->setPalette(pal);
}

// ---------------------------------------------------------------------------------------------------------
// The pass

void AnalysisWindow::setAnalysing(bool on) {
    Command1->setEnabled(!on);
    Command2->setEnabled(!on);
    Command3->setEnabled(!on && analysed_);
    mnuF3->setEnabled(!on && analysed_);
    mnuPr->setEnabled(!on && analysed_ && openPrint != nullptr);
    mnuExport->setEnabled(!on && analysed_ && exportCsv != nullptr);
}

void AnalysisWindow::Command2_Click() {
    if (slicer_.active()) return;
    // An interrupted recording is offered for recovery first: recovered, its trailer is there and a partial
    // last sample no longer stops the analysis; declined, the pass works from its whole samples as it can.
    offerRecovery(st_.file.WorkFile.isEmpty() ? workFilePath(dir_) : st_.file.WorkFile, messages_,
                  errorTitle());
    analysed_ = false;
    pass_ = std::make_unique<AnalysisPass>(st_, &boxes_);
    // Columns of one screen pixel, so long recordings cost no more to draw than the box is wide.
    pass_->setColumnWidth(kTwipsPerPixel / devicePixelRatioF());
    pass_->onAxes = [this] { showTicks(); };
    setAnalysing(true);
    QString warning;
    if (Status s = pass_->begin(dir_, &warning); !s) {
        pass_.reset();
        for (PictureBox* b : Picture2) b->refresh();
        setAnalysing(false);
        messages_.show(s.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    if (!warning.isEmpty()) messages_.show(warning, analysisTitle(), MessageButtons::Ok);
    if (pass_->axesReady()) showTicks();
    slicer_.start([this] { return pass_->step(kStepSamples); }, [this](bool over) { sliceDone(over); });
}

void AnalysisWindow::sliceDone(bool over) {
    // The panel shows the latest sample once per slice; drawing it for every sample would cost more than the pass.
    if (pass_->done() > 0) showPanel(pass_->lastPanel());
    Text1->setText(QString::number(pass_->done()));
    for (PictureBox* b : Picture2) b->refresh();
    if (!over) return;
    if (pass_->failed()) {
        endPass(false);
        messages_.show(pass_->error(), errorTitle(), MessageButtons::Ok);
        return;
    }
    endPass(true);
}

void AnalysisWindow::endPass(bool complete) {
    slicer_.stop();
    analysed_ = complete;
    setAnalysing(false);
    if (!complete) return;
    const int64_t n = pass_->total();
    Text1->setText(QString::number(n));
    QPalette pal = Label1[13]->palette();
    pal.setColor(QPalette::WindowText, QColor(Qt::blue));
    Label1[13]->setPalette(pal);
    Label1[13]->setText(QStringLiteral("共 %1 组").arg(n));
    // Every record stays reachable: the page slider appears when one slider range cannot hold them all.
    const RecordSliders at = slidersFor(std::min<int64_t>(n, kRecordsPerPage), n);
    const QSignalBlocker b1(HScroll1), b2(HScroll2);
    HScroll2->setRange(1, at.pages);
    HScroll2->setPageStep(1);
    HScroll2->setValue(at.page);
    HScroll2->setVisible(at.pages > 1);
    HScroll1->setRange(1, at.maximum);
    HScroll1->setPageStep(10);
    HScroll1->setValue(at.value);
    HScroll1->show();
    for (PictureBox* b : Picture2) b->refresh();
}

// ---------------------------------------------------------------------------------------------------------
// Rotation, query, sliders, segment width

void AnalysisWindow::Command4_Click() { showCurve((currentCurve_ + 1) % kCurves); }

int64_t AnalysisWindow::sliderNumber() const { return recordAt(HScroll1->value(), HScroll2->value()); }

void AnalysisWindow::query(int64_t no) {
    PanelContent p;
    if (Status s = FENG(st_, &boxes_, no, seg_, &p); !s) {
        messages_.show(s.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    showPanel(p);
    for (PictureBox* b : Picture3) b->refresh();
    for (PictureBox* b : Picture2) b->refresh();
}

void AnalysisWindow::Command3_Click() {
    if (!analysed_) return;
    const QueryNumber q = checkQueryNumber(Text1->text(), queryableSamples(st_));
    if (!q.ok) {
        messages_.show(q.message, operationErrorTitle(), MessageButtons::Ok);
        return;
    }
    Text1->setText(q.text);
    {
        // Moving the sliders to the record must not query it a second time.
        const QSignalBlocker b1(HScroll1), b2(HScroll2);
        const RecordSliders at = slidersFor(q.number, queryableSamples(st_));
        HScroll2->setValue(at.page);
        HScroll1->setMaximum(at.maximum);
        HScroll1->setValue(at.value);
    }
    query(q.number);
}

void AnalysisWindow::HScroll1_Change() {
    if (!HScroll1->isVisibleTo(this) || !analysed_) return;
    Text1->setText(QString::number(sliderNumber()));
    query(sliderNumber());
}

void AnalysisWindow::HScroll2_Change() {
    if (!analysed_) return;
    {
        const QSignalBlocker b(HScroll1);
        HScroll1->setMaximum(slidersFor(recordAt(1, HScroll2->value()), queryableSamples(st_)).maximum);
    }
    if (!HScroll2->isVisibleTo(this)) return;
    Text1->setText(QString::number(sliderNumber()));
    query(sliderNumber());
}

void AnalysisWindow::mnuSegment_Click(int segmentCount) {
    st_.settings.SegmentCount = static_cast<float>(segmentCount);
    mnu5->setChecked(segmentCount == 5);
    mnu10->setChecked(segmentCount == 10);
    mnu20->setChecked(segmentCount == 20);
    // The number in the box may have been typed but not queried yet: check it as the query does.
    const QueryNumber q = checkQueryNumber(Text1->text(), queryableSamples(st_));
    if (!q.ok) {
        messages_.show(q.message, operationErrorTitle(), MessageButtons::Ok);
        return;
    }
    Text1->setText(q.text);
    query(q.number);
}

void AnalysisWindow::mnuPr_Click() {
    if (openPrint) openPrint();
}

// ---------------------------------------------------------------------------------------------------------
// Closing, mouse

void AnalysisWindow::Command1_Click() { close(); }

void AnalysisWindow::closeEvent(QCloseEvent* e) {
    slicer_.stop();
    e->accept();
    if (onClosed) onClosed();
}

void AnalysisWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton && mnuF3->isEnabled()) mnuF3->popup(e->globalPosition().toPoint());
}

}  // namespace mervo
