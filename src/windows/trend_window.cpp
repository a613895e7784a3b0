#include "windows/trend_window.h"

#include "printing/csv_export.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/program_dir.h"
#include "platform/qt/twips_widgets.h"
#include "shared/message_titles.h"
#include "windows/trend_plots.h"

namespace mervo {

namespace {

constexpr int kSliceMs = 16;             // reading per slice, so the window answers between
constexpr int kLivePollMs = 100;         // a live view redraws at most ten times a second
constexpr int64_t kLiveMinutes[3] = {1, 5, 30};

QString trendTitle() { return QStringLiteral("趋势分析"); }

}  // namespace

TrendWindow::TrendWindow(const TrendWindowContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window),
      st_(ctx.state),
      messages_(ctx.messages),
      dialogs_(ctx.dialogs),
      dir_(ctx.programDir),
      live_(ctx.live),
      receiving_(ctx.receiving),
      querySample_(ctx.querySample),
      assessInterval_(ctx.assessInterval) {
    setObjectName(QStringLiteral("trendWindow"));
    setFont(designedFont());
    setWindowTitle(trendTitle());
    resize(1200, 780);
    buildControls();
    slicer_.setInterval(0);
    connect(&slicer_, &QTimer::timeout, this, &TrendWindow::loadSlice);
    livePoll_.setInterval(kLivePollMs);
    connect(&livePoll_, &QTimer::timeout, this, &TrendWindow::pollLive);
    livePoll_.start();
    // Dragging a cursor across a day of samples: the table follows once the hand rests.
    tableTimer_.setSingleShot(true);
    tableTimer_.setInterval(40);
    connect(&tableTimer_, &QTimer::timeout, this, &TrendWindow::fillTable);
    if (receiving_ && receiving_()) pollLive();
    else reload();
}

TrendWindow::~TrendWindow() {
    slicer_.stop();
    plots->setSeries(nullptr);
}

void TrendWindow::buildControls() {
    auto* top = new QHBoxLayout;
    for (int k = 0; k < TrendPlots::kPanels; ++k) {
        auto* box = new QCheckBox(TrendPlots::panelTitle(k), this);
        box->setObjectName(QStringLiteral("trendShow%1").arg(k));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this, k](bool on) { plots->setPanelVisible(k, on); });
        panelBoxes[static_cast<size_t>(k)] = box;
        top->addWidget(box);
    }
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("时间轴"), this));
    timeMode = new QComboBox(this);
    timeMode->addItems({QStringLiteral("流逝时间"), QStringLiteral("时刻")});
    connect(timeMode, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
        plots->setTimeMode(i == 1 ? TrendTimeMode::ClockTime : TrendTimeMode::Elapsed);
    });
    top->addWidget(timeMode);
    fixedAxes = new QCheckBox(QStringLiteral("固定纵轴"), this);
    connect(fixedAxes, &QCheckBox::toggled, this, [this](bool on) { plots->setValueAxesFixed(on); });
    top->addWidget(fixedAxes);
    top->addStretch(1);

    auto* second = new QHBoxLayout;
    const auto spin = [this](const char* name) {
        auto* s = new QSpinBox(this);
        s->setObjectName(QLatin1String(name));
        s->setKeyboardTracking(false);  // the number counts once typed (Enter) or stepped, not per key
        s->setRange(0, 0);
        s->setMinimumWidth(110);
        connect(s, qOverload<int>(&QSpinBox::valueChanged), this, &TrendWindow::cursorsFromSpins);
        return s;
    };
    second->addWidget(new QLabel(QStringLiteral("光标 A 数据号"), this));
    cursorA = spin("trendCursorA");
    second->addWidget(cursorA);
    second->addWidget(new QLabel(QStringLiteral("B 数据号"), this));
    cursorB = spin("trendCursorB");
    second->addWidget(cursorB);
    second->addSpacing(16);
    second->addWidget(new QLabel(QStringLiteral("实时显示最近"), this));
    liveSpan = new QComboBox(this);
    liveSpan->addItems({QStringLiteral("1 分钟"), QStringLiteral("5 分钟"), QStringLiteral("30 分钟")});
    liveSpan->setCurrentIndex(1);
    connect(liveSpan, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { followLive(); });
    second->addWidget(liveSpan);
    freeze = new QCheckBox(QStringLiteral("冻结"), this);
    freeze->setObjectName(QStringLiteral("trendFreeze"));
    connect(freeze, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) pollLive();
    });
    second->addWidget(freeze);
    second->addStretch(1);
    const auto button = [this, second](const QString& text, void (TrendWindow::*handler)()) {
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, handler);
        second->addWidget(b);
        return b;
    };
    reloadButton = button(QStringLiteral("重新载入"), &TrendWindow::reload);
    pictureButton = button(QStringLiteral("保存图片"), &TrendWindow::savePicture);
    copyButton = button(QStringLiteral("复制表格"), &TrendWindow::copyTable);
    exportButton = button(QStringLiteral("导出表格…"), &TrendWindow::exportTable);
    assessButton = button(QStringLiteral("评估此区间"), &TrendWindow::assessInterval);
    assessButton->setObjectName(QStringLiteral("trendAssess"));
    assessButton->setEnabled(false);

    plots = new TrendPlots(this);
    plots->onCursorsMoved = [this](int64_t a, int64_t b) { cursorsFromPlots(a, b); };
    plots->onReadout = [this](const QString& text) { readout->setText(text); };
    plots->onSamplePicked = [this](int64_t n) { samplePicked(n); };
    plots->onViewMoved = [this] {
        // Looking back during a receive holds the view where the operator put it.
        if (liveMode_ && !freeze->isChecked()) freeze->setChecked(true);
    };
    table = new QTableWidget(0, 4, this);
    table->setObjectName(QStringLiteral("trendTable"));
    table->setHorizontalHeaderLabels(intervalTableHeader());
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(true);
    auto* body = new QSplitter(Qt::Horizontal, this);
    body->addWidget(plots);
    body->addWidget(table);
    body->setStretchFactor(0, 4);
    body->setStretchFactor(1, 1);
    body->setSizes({860, 440});  // room for the table's four columns

    readout = new QLabel(this);
    readout->setObjectName(QStringLiteral("trendReadout"));
    readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("trendStatus"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(second);
    layout->addWidget(body, 1);
    layout->addWidget(readout);
    layout->addWidget(status);

    connect(new QShortcut(QKeySequence(Qt::Key_Home), this), &QShortcut::activated, this, [this] {
        if (liveMode_) freeze->setChecked(false);
        else plots->resetView();
    });
}

// ---------------------------------------------------------------------------------------------------------
// The file

void TrendWindow::reload() {
    if (liveMode_ || slicer_.isActive()) return;
    load(true);
}

void TrendWindow::follow() {
    pollLive();  // a receive that has just ended is let go first
    if (!liveMode_) load(false);
}

void TrendWindow::load(bool tell) {
    slicer_.stop();
    loader_.reset();
    const QString path = st_.file.WorkFile.isEmpty() ? workFilePath(dir_) : st_.file.WorkFile;
    setWindowTitle(QStringLiteral("%1 — %2").arg(trendTitle(), QFileInfo(path).fileName()));
    shown_ = path;
    assessButton->setEnabled(false);
    // Nothing of the measurement shown before stays in view, even when this one cannot be read.
    plots->setSeries(nullptr);
    series_.reset(0, 0);
    rows_.clear();
    table->setRowCount(0);
    readout->clear();
    showSeries();
    tellFailure_ = tell;
    loader_ = std::make_unique<TrendLoader>();
    QString warning;
    if (Status s = loader_->begin(path, series_, &warning); !s) {
        loader_.reset();
        status->setText(s.message());
        if (tell) messages_.show(s.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    status->setText(warning);
    reloadButton->setEnabled(false);
    slicer_.start();
}

void TrendWindow::loadSlice() {
    QElapsedTimer t;
    t.start();
    bool over = false;
    while (!over && t.elapsed() < kSliceMs) over = loader_->step(1 << 16);
    if (!over) {
        status->setText(QStringLiteral("正在读取 %1 / %2 组").arg(loader_->done()).arg(loader_->total()));
        return;
    }
    slicer_.stop();
    reloadButton->setEnabled(true);
    if (loader_->failed()) {
        const QString why = loader_->error();
        series_.reset(0, 0);
        status->setText(why);
        if (tellFailure_) messages_.show(why, errorTitle(), MessageButtons::Ok);
        return;
    }
    loaded();
}

void TrendWindow::loaded() {
    status->setText(QStringLiteral("共 %1 组%2").arg(series_.size()).arg(
        series_.motorUsable ? QString() : QStringLiteral("　无可用电机参数：不计算效率与负载率")));
    plots->setSeries(&series_);
    showSeries();
    setCursorNumbers(series_.firstNumber, series_.firstNumber + series_.size() - 1);
    // A file read whole can be assessed; the blocks of a receive are not a file yet.
    assessButton->setEnabled(assessInterval_ != nullptr && !series_.empty());
}

void TrendWindow::showSeries() {
    const QSignalBlocker a(cursorA), b(cursorB);
    const int first = static_cast<int>(series_.firstNumber);
    const int last = static_cast<int>(series_.firstNumber + std::max<int64_t>(series_.size(), 1) - 1);
    cursorA->setRange(first, last);
    cursorB->setRange(first, last);
}

// ---------------------------------------------------------------------------------------------------------
// Cursors and the table

int64_t TrendWindow::indexOfNumber(int64_t number) const {
    return std::clamp<int64_t>(number - series_.firstNumber, 0, std::max<int64_t>(series_.size() - 1, 0));
}

void TrendWindow::setCursorNumbers(int64_t a, int64_t b) {
    {
        const QSignalBlocker ba(cursorA), bb(cursorB);
        cursorA->setValue(static_cast<int>(a));
        cursorB->setValue(static_cast<int>(b));
    }
    numberA_ = cursorA->value();
    numberB_ = cursorB->value();
    plots->setCursors(indexOfNumber(numberA_), indexOfNumber(numberB_));
    fillTable();
}

void TrendWindow::cursorsFromSpins() { setCursorNumbers(cursorA->value(), cursorB->value()); }

void TrendWindow::cursorsFromPlots(int64_t a, int64_t b) {
    const QSignalBlocker ba(cursorA), bb(cursorB);
    numberA_ = series_.firstNumber + a;
    numberB_ = series_.firstNumber + b;
    cursorA->setValue(static_cast<int>(numberA_));
    cursorB->setValue(static_cast<int>(numberB_));
    tableTimer_.start();
}

void TrendWindow::fillTable() {
    table->clearSpans();
    table->setRowCount(0);
    rows_.clear();
    if (series_.empty()) return;
    rows_ = intervalTable(intervalStats(series_, indexOfNumber(numberA_), indexOfNumber(numberB_)));
    table->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const IntervalRow& row = rows_[static_cast<size_t>(r)];
        table->setItem(r, 0, new QTableWidgetItem(row.label));
        for (int c = 0; c < static_cast<int>(row.cells.size()); ++c) {
            auto* item = new QTableWidgetItem(row.cells[static_cast<size_t>(c)]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(r, c + 1, item);
        }
        if (row.rule) {
            table->setSpan(r, 1, 1, 3);
            table->item(r, 1)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    // Columns as wide as their figures; a rule in words wraps across the row instead of widening a column.
    const QFontMetrics fm(table->font());
    const QStringList header = intervalTableHeader();
    for (int c = 0; c < table->columnCount(); ++c) {
        int width = fm.horizontalAdvance(header.value(c));
        for (const IntervalRow& row : rows_)
            if (c == 0 || (!row.rule && c <= static_cast<int>(row.cells.size())))
                width = std::max(width, fm.horizontalAdvance(c == 0 ? row.label : row.cells[static_cast<size_t>(c - 1)]));
        table->setColumnWidth(c, width + 2 * fm.averageCharWidth() + 8);
    }
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
        if (rows_[static_cast<size_t>(r)].rule) table->resizeRowToContents(r);
}

void TrendWindow::copyTable() {
    if (rows_.empty()) return;
    QApplication::clipboard()->setText(intervalTableText(rows_));
    status->setText(QStringLiteral("区间统计已复制到剪贴板"));
}

void TrendWindow::exportTable() {
    if (rows_.empty()) return;
    const FileDialogRequest r = saveRequest(QStringLiteral("导出表格"), QStringLiteral("CSV 文件(*.csv)"), QStringLiteral("csv"));
    const std::optional<QString> path = dialogs_.choose(r);
    if (!path) return;
    const QStringList header = intervalTableHeader();
    std::vector<std::vector<QString>> table = {{header.begin(), header.end()}};
    for (const IntervalRow& row : rows_) {
        table.push_back({row.label});
        table.back().insert(table.back().end(), row.cells.begin(), row.cells.end());
        table.back().resize(4);  // a rectangle, as spreadsheets expect
    }
    if (Status s = writeCsvTable(*path, table, true); !s) {
        messages_.show(QStringLiteral("区间统计导出失败！\r\n%1").arg(s.message()), errorTitle(), MessageButtons::Ok);
        return;
    }
    status->setText(QStringLiteral("区间统计已导出到 %1").arg(*path));
}

void TrendWindow::assessInterval() {
    if (!assessInterval_ || liveMode_ || series_.empty()) return;
    assessInterval_(shown_, std::min(numberA_, numberB_), std::max(numberA_, numberB_));
}

void TrendWindow::samplePicked(int64_t number) {
    const bool done = querySample_ && querySample_(number);
    status->setText(done ? QStringLiteral("数据分析窗口已查询第 %1 组").arg(number)
                         : QStringLiteral("数据分析窗口未打开或尚未分析完毕，无法查询第 %1 组").arg(number));
}

// ---------------------------------------------------------------------------------------------------------
// Picture

void TrendWindow::savePicture() {
    const FileDialogRequest r = saveRequest(QStringLiteral("保存图片"), QStringLiteral("PNG 图片(*.png);;PDF 文件(*.pdf)"), QStringLiteral("png"));
    const std::optional<QString> path = dialogs_.choose(r);
    if (!path) return;
    if (!plots->savePicture(*path)) {
        messages_.show(QStringLiteral("图片 %1 无法保存！").arg(*path), errorTitle(), MessageButtons::Ok);
        return;
    }
    status->setText(QStringLiteral("图片已保存：%1").arg(*path));
}

// ---------------------------------------------------------------------------------------------------------
// Live

void TrendWindow::pollLive() {
    const bool receiving = live_ && receiving_ && receiving_() && live_->started();
    if (receiving && !liveMode_) {
        // A receive has started: the file shown gives way to the blocks as they come.
        slicer_.stop();
        loader_.reset();
        liveMode_ = true;
        pulled_ = -1;
        numberA_ = numberB_ = 0;
        series_.reset(0, 0);
        plots->setSeries(nullptr);
        reloadButton->setEnabled(false);
        assessButton->setEnabled(false);
        setWindowTitle(QStringLiteral("%1 — 实时").arg(trendTitle()));
    }
    if (!liveMode_) return;
    if (!freeze->isChecked() && live_->received() != pulled_) {
        pulled_ = live_->received();
        const bool first = series_.empty();
        live_->copyTo(series_);
        if (first) plots->setSeries(&series_);
        showSeries();
        // Cursors only once the operator has set them; then the table follows the blocks they cover.
        if (numberA_ > 0) {
            plots->setCursors(indexOfNumber(numberA_), indexOfNumber(numberB_));
            fillTable();
        }
        followLive();
        status->setText(QStringLiteral("正在接收：已记录 %1 组").arg(live_->received()));
    }
    if (!receiving) {
        liveMode_ = false;
        reloadButton->setEnabled(true);
        setWindowTitle(QStringLiteral("%1 — 接收结束").arg(trendTitle()));
        status->setText(QStringLiteral("接收结束：已记录 %1 组（重新载入可显示整个文件）").arg(live_->received()));
    }
}

void TrendWindow::followLive() {
    if (!liveMode_ || freeze->isChecked() || series_.empty()) return;
    const double last = series_.time(series_.size() - 1);
    const double span = 60.0 * kLiveMinutes[std::clamp(liveSpan->currentIndex(), 0, 2)];
    plots->seriesChanged();
    plots->setView(last - span, last);
}

}  // namespace mervo
