#include "windows/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "shared/time_split.h"
#include "files/recovery_offer.h"
#include "files/settings_file.h"
#include "files/side_settings.h"
#include "windows/analysis_window.h"
#include "windows/assessment_window.h"
#include "windows/export_window.h"
#include "windows/settings_window.h"
#include "windows/motor_window.h"
#include "windows/print_window.h"
#include "windows/trend_window.h"
#include "platform/file_replacement.h"
#include "platform/program_dir.h"
#include "platform/qt_widgets/elided_label.h"
#include "platform/qt_widgets/picture_box.h"
#include "platform/qt_widgets/designed_controls.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "shared/number_format.h"
#include "windows/about_window.h"
#include "windows/end_key.h"
#include "windows/help_window.h"
#include "shared/message_titles.h"

namespace mervo {

namespace {

const QString kStartCaption = QStringLiteral("MERVO　电能综合测试仪 ");

struct Cell {
    int box;        // Picture1 index
    int left, top;  // of the value box
    const char* caption;
    const char* unit;
};
// Rows at 120, 480, 840, 1200; columns of value boxes at 1080, 3480, 5880.
const Cell kCells[12] = {
    {0, 1080, 120, "一路电流", "A"},      {3, 3480, 120, "二路电流", "A"},     {6, 5880, 120, "三路电流", "A"},
    {1, 1080, 480, "一路电压", "V"},      {4, 3480, 480, "二路电压", "V"},     {7, 5880, 480, "三路电压", "V"},
    {2, 1080, 840, "有功功率", "kW"},     {5, 3480, 840, "无功功率", "kVar"},  {8, 5880, 840, "功率因数", "L"},
    {9, 1080, 1200, "视在功率", "kVa"},   {10, 3480, 1200, "有功电量", "kWh"}, {11, 5880, 1200, "无功电量", "kVarh"},
};

// The power factor's unit label is the L/C indicator, Label2 10; the active energy's unit takes its place.
int unitLabelOf(int box) { return box == 8 ? 10 : (box == 10 ? 8 : box); }

}  // namespace

namespace {
// Modeless windows open once: a second click brings the open one forward.
template <class Window, class Make>
// A window the program keeps one of: made and placed at (left, top) twips when it is not open, otherwise raised
// with what it holds; `placeAgain` puts an open one back at its place too.
void showSingle(QPointer<Window>& window, Make make, int left, int top, bool placeAgain = false) {
    const bool made = !window;
    if (made) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (made || placeAgain) moveTwips(window, left, top);
    window->show();
    window->raise();
}
}  // namespace

MainWindow::MainWindow(const MainWindowContext& ctx)
    : st_(ctx.state),
      messages_(ctx.messages),
      dialogs_(ctx.dialogs),
      dir_(ctx.programDir),
      files_(ctx.state, ctx.dialogs, ctx.messages, ctx.programDir),
      session_(ctx.state, ctx.clock, ctx.port) {
    setObjectName(QStringLiteral("Form1"));
    setFont(designedFont());
    auto* client = new QWidget(this);
    setCentralWidget(client);
    setFixedTwipsSize(client, 7650, 2655);
    buildPanel(client);
    buildMenus();
    setAcceptDrops(true);  // a measurement file dropped on the window opens as Open would open it
    addKeyFor(this, QKeySequence(Qt::CTRL | Qt::Key_O), mnuFileOpen);
    addKeyFor(this, QKeySequence(Qt::CTRL | Qt::Key_S), mnuSAVEFILE);
    addKeyFor(this, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), mnuSAVE_AS);
    // The trend window also follows a receive, while the 分析 menu is locked: its key works then too.
    addKeyFor(this, QKeySequence(Qt::CTRL | Qt::Key_T), mnuTrend);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    endProgram = [] { QApplication::quit(); };
    // F12 ends the program from every window; a window that ends it its own way watches its own controls first.
    watchEndKey(this, nullptr, [this] {
        completeReceiveBeforeExit();
        endProgram();
    });

    connect(&session_, &ReceiveSession::ended, this, &MainWindow::onReceiveEnded);
    connect(&session_, &ReceiveSession::blocksArrived, this, &MainWindow::showLatestBlock);
    connect(&session_, &ReceiveSession::progress, this, &MainWindow::showProgress);
    session_.cycle().onProcessed = [this](const ProcessedBlock& b) {
        trendLive_.push(b.number, b.elapsed, b.written, b.sumP, b.sumQ, b.s, b.pf);
    };
    // Under the panel, beside the designed client area: how a receive is going, elided where it is longer than
    // the room the nameplate leaves, which always shows whole and clear of the window's edge.
    receiveStatus = new ElidedLabel(this);
    receiveStatus->setObjectName(QStringLiteral("receiveStatus"));
    statusBar()->addWidget(receiveStatus, 1);
    markerButton = new QPushButton(QStringLiteral("标记 (M)"), this);
    markerButton->setObjectName(QStringLiteral("markerButton"));
    markerButton->setToolTip(QStringLiteral("在当前数据组设置标记（接收时）"));
    markerButton->setFocusPolicy(Qt::NoFocus);
    markerButton->setEnabled(false);
    markerButton->hide();  // shown while a receive runs, leaving the status line its room otherwise
    connect(markerButton, &QPushButton::clicked, this, &MainWindow::markerButton_Click);
    statusBar()->addPermanentWidget(markerButton);
    markerKey = new QAction(this);
    markerKey->setObjectName(QStringLiteral("markerKey"));
    markerKey->setShortcut(QKeySequence(Qt::Key_M));
    markerKey->setEnabled(false);
    addAction(markerKey);
    connect(markerKey, &QAction::triggered, this, &MainWindow::markerButton_Click);
    nextNameplate = new QLabel(this);
    nextNameplate->setObjectName(QStringLiteral("nextNameplate"));
    nextNameplate->setContentsMargins(0, 0, px(90), 0);
    statusBar()->addPermanentWidget(nextNameplate);
    statusBar()->setSizeGripEnabled(false);
    exporter = new CsvExporter(dialogs_, messages_, dir_, this);
    exporter->onFinished = [this](const QString& output, const Status& result) {
        if (result) receiveStatus->setText(QStringLiteral("数据已导出到 %1").arg(output));
        else if (exportCancelled(result)) receiveStatus->setText(QStringLiteral("导出已取消"));
    };
    Form_Load();
    // Only at start-up: Form_Load runs again after an aborted receive, whose file the operator already knows about.
    offerWorkFileRecovery();
    offerUnsavedRecording();
    takeKeptNameplate();
}

MainWindow::~MainWindow() {
    disconnect(&session_, &ReceiveSession::ended, this, &MainWindow::onReceiveEnded);
    completeReceiveBeforeExit();
    // The other windows work on this window's state; they go with it.
    if (analysisWindow_) analysisWindow_->onClosed = nullptr;
    delete analysisWindow_.data();
    delete settingsWindow_.data();
    delete motorWindow_.data();
    delete helpWindow_.data();
    delete printWindow_.data();
    delete trendWindow_.data();
    delete assessmentWindow_.data();
}

void MainWindow::buildPanel(QWidget* client) {
    auto label = [&](const QString& text, int left, int top, int width, const char* name, int index) {
        return placed<QLabel>(client, QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index), left, top, width,
                              255, text);
    };
    auto box = [&](int n, int left, int top, int width) {
        auto* p = new PictureBox(client, width, 255);
        p->setObjectName(QStringLiteral("Picture1_%1").arg(n));
        p->move(px(left), px(top));
        p->onPaint = [this] { Picture1_Paint(); };
        Picture1[n] = p;
    };
    for (int i = 0; i < 12; ++i) {
        const Cell& c = kCells[i];
        box(c.box, c.left, c.top, 975);
        Label1[c.box] = label(QString::fromUtf8(c.caption), c.left - 840, c.top, 840, "Label1", c.box);
        const int u = unitLabelOf(c.box);
        Label2[u] = label(QString::fromUtf8(c.unit), c.left + 1080, c.top, 480, "Label2", u);
    }
    Label1[12] = label(QStringLiteral("流逝时间"), 2640, 1560, 840, "Label1", 12);
    const char* timeUnits[3] = {"时", "分", "秒"};
    for (int k = 0; k < 3; ++k) {
        box(12 + k, 3480 + 840 * k, 1560, 375);
        Label2[12 + k] = label(QString::fromUtf8(timeUnits[k]), 3960 + 840 * k, 1560, 300, "Label2", 12 + k);
    }
    auto button = [&](const QString& text, int left, const char* name) {
        return placed<QPushButton>(client, QLatin1String(name), left, 2040, 975, 375, text);
    };
    Command3 = button(QStringLiteral("手动接收"), 1080, "Command3");
    Command4 = button(QStringLiteral("终止接收"), 1080, "Command4");
    Command1 = button(QStringLiteral("定时接收"), 3480, "Command1");
    Command1->setToolTip(QStringLiteral("请先设置定时时间"));
    Command2 = button(QStringLiteral("数据分析"), 5880, "Command2");
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &MainWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
}

void MainWindow::buildMenus() {
    auto menu = [&](const QString& title, const char* name) {
        QMenu* m = menuBar()->addMenu(title);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    auto action = [&](QMenu* m, const QString& text, const char* name, void (MainWindow::*handler)()) {
        QAction* a = m->addAction(text);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    FILE = menu(QStringLiteral("文件(&F)"), "FILE");
    mnuFileOpen = action(FILE, QStringLiteral("打开(&O)"), "mnuFileOpen", &MainWindow::mnuFileOpen_Click);
    mnuCLOSE = action(FILE, QStringLiteral("关闭(&C)"), "mnuCLOSE", &MainWindow::mnuCLOSE_Click);
    FILE->addSeparator();
    mnuSAVEFILE = action(FILE, QStringLiteral("保存(&S)"), "mnuSAVEFILE", &MainWindow::mnuSAVEFILE_Click);
    mnuSAVE_AS = action(FILE, QStringLiteral("另存为(&A)"), "mnuSAVE_AS", &MainWindow::mnuSAVE_AS_Click);
    mnuExport = action(FILE, QStringLiteral("导出数据(CSV)…"), "mnuExport", &MainWindow::mnuExport_Click);
    FILE->addSeparator();
    mnuRecent = FILE->addMenu(QStringLiteral("最近打开的文件"));
    mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    connect(FILE, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    FILE->addSeparator();
    mnuEXIT = action(FILE, QStringLiteral("退出(&X)"), "mnuEXIT", &MainWindow::mnuEXIT_Click);
    mnuTTT = menu(QStringLiteral("分析(&T)"), "mnuTTT");
    mnuDAT = action(mnuTTT, QStringLiteral("数据分析(&D)"), "mnuDAT", &MainWindow::mnuDAT_Click);
    mnuTrend = action(mnuTTT, QStringLiteral("趋势分析(&T)"), "mnuTrend", &MainWindow::mnuTrend_Click);
    mnuAssess = action(mnuTTT, QStringLiteral("电动机能效评估(&M)"), "mnuAssess", &MainWindow::mnuAssess_Click);
    // Ends a timed receive early, as the stop button ends a manual one: the file keeps the time it ran. The
    // designed states close the 分析 menu during a receive, so the window holds the entry's key (Esc) itself.
    mnuStopTimed = mnuTTT->addAction(QStringLiteral("终止定时接收"));
    mnuStopTimed->setObjectName(QStringLiteral("mnuStopTimed"));
    mnuStopTimed->setShortcut(QKeySequence(Qt::Key_Escape));
    mnuStopTimed->setEnabled(false);
    addAction(mnuStopTimed);
    connect(mnuStopTimed, &QAction::triggered, this, [this] {
        if (session_.running() && session_.cycle().mode() == ReceiveMode::Timed) session_.stop();
    });
    mnuSet = menu(QStringLiteral("设置(&E)"), "mnuSet");
    mnuLJtime = action(mnuSet, QStringLiteral("选项(&L)"), "mnuLJtime", &MainWindow::mnuLJtime_Click);
    mnuMOTO = action(mnuSet, QStringLiteral("电机参数(&J)"), "mnuMOTO", &MainWindow::mnuMOTO_Click);
    mnuSet->addSeparator();
    mnuReconnect = mnuSet->addAction(QStringLiteral("断开后等待重新连接(&R)"));
    mnuReconnect->setObjectName(QStringLiteral("mnuReconnect"));
    mnuReconnect->setCheckable(true);
    mnuReconnect->setChecked(reconnectAfterLoss(dir_));
    connect(mnuReconnect, &QAction::toggled, this, [this](bool on) { rememberReconnectAfterLoss(dir_, on); });
    mnuHELP = menu(QStringLiteral("帮助(&H)"), "mnuHELP");
    mnuHE = action(mnuHELP, QStringLiteral("帮助(&H)"), "mnuHE", &MainWindow::mnuHE_Click);
    mnuHELP->addSeparator();
    mnuABOUT = action(mnuHELP, QStringLiteral("关于(&A)"), "mnuABOUT", &MainWindow::mnuABOUT_Click);
}

// ---------------------------------------------------------------------------------------------------------
// States and the panel

void MainWindow::applyStates(const ControlStates& s) {
    auto set = [](const std::optional<bool>& v, auto&& f) {
        if (v) f(*v);
    };
    set(s.Command1, [&](bool b) { Command1->setEnabled(b); });
    set(s.Command2, [&](bool b) { Command2->setEnabled(b); });
    set(s.Command3, [&](bool b) { Command3->setEnabled(b); });
    set(s.Command4, [&](bool b) { Command4->setEnabled(b); });
    set(s.Command3Visible, [&](bool b) { Command3->setVisible(b); });
    set(s.Command4Visible, [&](bool b) { Command4->setVisible(b); });
    set(s.mnuFileOpen, [&](bool b) { mnuFileOpen->setEnabled(b); });
    set(s.mnuCLOSE, [&](bool b) {
        mnuCLOSE->setEnabled(b);
        mnuExport->setEnabled(b);  // a measurement that can be closed is in hand and can be exported
    });
    set(s.mnuSAVEFILE, [&](bool b) { mnuSAVEFILE->setEnabled(b); });
    set(s.mnuSAVE_AS, [&](bool b) { mnuSAVE_AS->setEnabled(b); });
    set(s.mnuTTT, [&](bool b) {
        mnuTTT->setEnabled(b);
        mnuTTT->menuAction()->setEnabled(b);
    });
    set(s.mnuSet, [&](bool b) {
        mnuSet->setEnabled(b);
        mnuSet->menuAction()->setEnabled(b);
    });
}

ControlStates MainWindow::controlStates() const {
    ControlStates s;
    s.Command1 = Command1->isEnabled();
    s.Command2 = Command2->isEnabled();
    s.Command3 = Command3->isEnabled();
    s.Command4 = Command4->isEnabled();
    s.Command3Visible = !Command3->isHidden();
    s.Command4Visible = !Command4->isHidden();
    s.mnuFileOpen = mnuFileOpen->isEnabled();
    s.mnuCLOSE = mnuCLOSE->isEnabled();
    s.mnuSAVEFILE = mnuSAVEFILE->isEnabled();
    s.mnuSAVE_AS = mnuSAVE_AS->isEnabled();
    s.mnuTTT = mnuTTT->menuAction()->isEnabled();
    s.mnuSet = mnuSet->menuAction()->isEnabled();
    return s;
}

void MainWindow::drawValueBox(int n) {
    Surface& s = Picture1[n]->surface();
    s.clear();
    const float v = st_.live.LiveValues[n];
    s.printText(formatFixed3(n == 2 ? v : std::fabs(v)));  // only the active power keeps its sign
    Picture1[n]->refresh();
}

void MainWindow::drawTimeBoxes() {
    SplitTime(st_.file.ElapsedTime, st_.time);
    drawTimeParts(st_.time);
}

void MainWindow::drawTimeBoxes(float elapsed) {
    TimeParts t;
    SplitTime(elapsed, t);
    drawTimeParts(t);
}

void MainWindow::drawTimeParts(const TimeParts& t) {
    const float parts[3] = {float(t.TimeH), float(t.TimeM), float(t.TimeS)};
    for (int k = 0; k < 3; ++k) {
        Surface& s = Picture1[12 + k]->surface();
        s.clear();
        s.print({PrintItem::numberItem(parts[k])});
        Picture1[12 + k]->refresh();
    }
}

void MainWindow::drawPanel() {
    // Until a receive's first block the value boxes stay empty: the receive waits, and shows nothing as measured.
    if (session_.running() && session_.cycle().blocks() == 0) {
        for (int n = 0; n < 12; ++n) {
            Picture1[n]->surface().clear();
            Picture1[n]->refresh();
        }
        drawTimeBoxes(static_cast<float>(session_.cycle().elapsed()));
        return;
    }
    for (int n = 0; n < 12; ++n) drawValueBox(n);
    drawTimeBoxes();
}

void MainWindow::clearPanel() {
    for (PictureBox* p : Picture1) {
        p->surface().clear();
        p->refresh();
    }
}

void MainWindow::Picture1_Paint() { drawPanel(); }

void MainWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    Picture1_Paint();
}

// ---------------------------------------------------------------------------------------------------------
// Load, keys, mouse, closing

void MainWindow::Form_Load() {
    st_.receive.AbortReceive = false;
    st_.file.ElapsedTime = 0;
    st_.receive.ManualRunning = true;
    st_.file.WorkFile = workFilePath(dir_);
    // Temporaries of writers killed in an earlier run, before anything here writes again.
    sweepOrphanTemporaries(dir_);
    const SettingsReadReport report = readSettingsFile(settingsFilePath(dir_), st_.settings, st_.file.TotalTime);
    setWindowTitle(kStartCaption);
    applyStates(states::startup());
    if (const QString problem = report.problem(); !problem.isEmpty())
        messages_.show(problem + QStringLiteral("\r\n请在“设置→选项”中检查并确认。"), errorTitle(), MessageButtons::Ok);
}

void MainWindow::offerWorkFileRecovery() {
    offerRecovery(workFilePath(dir_), messages_, errorTitle(), QStringLiteral("上次的接收没有正常结束。"));
}

void MainWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) FILE->popup(e->globalPosition().toPoint());
}

void MainWindow::completeReceiveBeforeExit() {
    // Closing during a receive still completes the file, so nothing received is lost.
    if (!session_.running()) return;
    exiting_ = true;
    session_.stop();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    completeReceiveBeforeExit();
    e->accept();
    endProgram();
}

void MainWindow::mnuEXIT_Click() {
    completeReceiveBeforeExit();
    // The most recently opened windows close first.
    const auto windows = QApplication::topLevelWidgets();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (*it != this && (*it)->isVisible()) (*it)->close();
    endProgram();
}

// ---------------------------------------------------------------------------------------------------------
// Other windows

AnalysisWindow* MainWindow::analysisWindow() const { return analysisWindow_.data(); }

void MainWindow::Command2_Click() { openAnalysis(false); }
void MainWindow::mnuDAT_Click() { openAnalysis(true); }

void MainWindow::openAnalysis(bool fromMenu) {
    if (analysisWindow_) return;
    analysisWindow_ = new AnalysisWindow(st_, messages_, dir_);
    analysisWindow_->setAttribute(Qt::WA_DeleteOnClose);
    analysisWindow_->endProgram = [this] { endProgram(); };
    // The analysis leaves its own figures in the live values (energies in W·h, the queried record); back here
    // the panel shows again what it showed before, in the units its labels name.
    const std::array<float, 12> panelBefore = st_.live.LiveValues;
    analysisWindow_->onClosed = [this, panelBefore] {
        st_.live.LiveValues = panelBefore;
        showNextNameplate();
        show();
    };
    analysisWindow_->openTrend = [this] { mnuTrend_Click(); };
    analysisWindow_->openAssessment = [this] { mnuAssess_Click(); };
    analysisWindow_->exportCsv = [this] { exporter->start(st_.file.WorkFile, analysisWindow_); };
    analysisWindow_->openPrint = [this] {
        showSingle(printWindow_, [this] { return new PrintWindow(st_, dialogs_, messages_, nullptr, dir_); }, 1000, 1000, true);
    };
    // The button places the window at a fixed place, the menu item near the top left.
    if (fromMenu) moveTwips(analysisWindow_, 60, 285);
    else moveTwips(analysisWindow_, 500, 200);
    hide();
    analysisWindow_->show();
    analysisWindow_->Command2_Click();
    sayIfNameplateReplaced(QStringLiteral("数据分析"));
}

TrendWindow* MainWindow::trendWindow() const { return trendWindow_.data(); }

void MainWindow::trendFollows() {
    if (trendWindow_) trendWindow_->follow();
}

void MainWindow::mnuTrend_Click() {
    showSingle(trendWindow_, [this] {
        TrendWindowContext c{st_, messages_, dialogs_, dir_, &trendLive_, [this] { return session_.running(); }, {}, {}, {}, nullptr};
        // Ctrl+click in the trend: the analysis window queries that record, as if it had been typed there.
        c.querySample = [this](int64_t no) {
            if (!analysisWindow_ || !analysisWindow_->analysed()) return false;
            analysisWindow_->Text1->setText(QString::number(no));
            analysisWindow_->Command3_Click();
            return true;
        };
        c.assessInterval = [this](const QString& file, int64_t a, int64_t b) { openAssessment(file, a, b); };
        c.exportRange = [this](const QString& file, int64_t a, int64_t b) {
            exporter->start(file, trendWindow_.data(), a, b);
        };
        return new TrendWindow(c);
    }, 600, 600);
}

AssessmentWindow* MainWindow::assessmentWindow() const { return assessmentWindow_.data(); }

void MainWindow::mnuAssess_Click() {
    openAssessment(st_.file.WorkFile.isEmpty() ? workFilePath(dir_) : st_.file.WorkFile, 0, 0);
}

void MainWindow::openAssessment(const QString& file, int64_t from, int64_t to) {
    const bool open = assessmentWindow_;
    showSingle(assessmentWindow_, [this] { return new AssessmentWindow(messages_, dialogs_, dir_); }, 800, 400);
    // From the menu, an open window on the same file keeps its inputs and result; the trend's A..B always runs.
    if (!open || from > 0 || assessmentWindow_->file() != file) assessmentWindow_->assess(file, from, to);
}

void MainWindow::mnuMOTO_Click() {
    showSingle(motorWindow_, [this] {
        auto* w = new MotorWindow(st_, messages_, dir_);
        w->onNameplateChanged = [this](std::optional<int> code) { nameplateChanged(code); };
        return w;
    }, 3000, 2000);
}

void MainWindow::mnuLJtime_Click() {
    showSingle(settingsWindow_, [this] { return new SettingsWindow(st_, messages_, dir_); }, 3000, 2000);
}

void MainWindow::mnuHE_Click() {
    showSingle(helpWindow_, [] { return new HelpWindow(); }, 1000, 1000);
}

void MainWindow::mnuABOUT_Click() {
    AboutWindow about(this);
    about.exec();
}

}  // namespace mervo
