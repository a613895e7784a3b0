#include "windows/trend_window.h"

#include "export/csv_export.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <limits>
#include <utility>

#include "analysis/trend_file_source.h"
#include "platform/program_dir.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "shared/message_titles.h"
#include "windows/trend_plots.h"

namespace mervo {

namespace {

constexpr int kSliceMs = 16;             // reading per slice, so the window answers between
constexpr int kLivePollMs = 100;         // a live view redraws at most ten times a second
constexpr int kDrawEveryMs = 400;        // a file being summarised is drawn as far as it is, this often
constexpr int kDrawShares = 20;          // and once a twentieth more of it is, so drawing never slows it much

}  // namespace

QString TrendWindow::title() { return QStringLiteral("趋势分析"); }

TrendWindow::TrendWindow(const TrendWindowContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window),
      st_(ctx.state),
      messages_(ctx.messages),
      dialogs_(ctx.dialogs),
      dir_(ctx.programDir),
      live_(ctx.live),
      receiving_(ctx.receiving),
      querySample_(ctx.querySample),
      assessInterval_(ctx.assessInterval),
      exportRange_(ctx.exportRange),
      files_(ctx.files ? *ctx.files : systemFileSystem()),
      compareSlicer_(kSliceMs),
      slicer_(kSliceMs),
      tableSlicer_(kSliceMs) {
    setObjectName(QStringLiteral("trendWindow"));
    setFont(designedFont());
    setWindowTitle(title());
    resize(1200, 780);
    buildControls();
    livePoll_.setInterval(kLivePollMs);
    connect(&livePoll_, &QTimer::timeout, this, &TrendWindow::pollLive);
    livePoll_.start();
    // Dragging a cursor across a day of samples: the table follows once the hand rests.
    tableTimer_.setSingleShot(true);
    tableTimer_.setInterval(40);
    connect(&tableTimer_, &QTimer::timeout, this, &TrendWindow::fillTable);
    drawn_.start();
    if (receiving_ && receiving_()) pollLive();
    else reload();
}

TrendWindow::~TrendWindow() {
    keepView();
    slicer_.stop();
    tableSlicer_.stop();
    compareSlicer_.stop();
    job_.reset();
    compareJob_.reset();
    plots->setComparison(nullptr, 0, QString());
    plots->setSource(nullptr);
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
        s->setRange(0, std::numeric_limits<int>::max());
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
    auto* third = new QHBoxLayout;

    plots = new TrendPlots(this);
    plots->onCursorsMoved = [this](int64_t a, int64_t b) { cursorsFromPlots(a, b); };
    plots->onReadout = [this](const QString& text) { readout->setText(text); };
    plots->onSamplePicked = [this](int64_t n) { samplePicked(n); };
    plots->onViewMoved = [this] {
        // Looking back during a receive holds the view where the operator put it.
        if (following_ && !freeze->isChecked()) freeze->setChecked(true);
    };
    plots->onReadFailure = [this](const QString& why) { status->setText(why); };
    buildTools(third);
    header_ = intervalTableHeader();
    table = new QTableWidget(0, 4, this);
    table->setObjectName(QStringLiteral("trendTable"));
    table->setHorizontalHeaderLabels(header_);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(true);
    auto* side = new QSplitter(Qt::Vertical, this);
    side->addWidget(table);
    side->addWidget(markerList);
    side->setStretchFactor(0, 4);
    side->setStretchFactor(1, 1);
    auto* body = new QSplitter(Qt::Horizontal, this);
    body->addWidget(plots);
    body->addWidget(side);
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
    layout->addLayout(third);
    layout->addWidget(body, 1);
    layout->addWidget(readout);
    layout->addWidget(status);

    connect(new QShortcut(QKeySequence(Qt::Key_Home), this), &QShortcut::activated, this, [this] {
        if (following_) freeze->setChecked(false);
        else plots->resetView();
    });
}

// ---------------------------------------------------------------------------------------------------------
// The file

void TrendWindow::reload() {
    if (following_ || slicer_.active()) return;
    load(true);
}

void TrendWindow::follow() {
    pollLive();  // a receive that has just ended is let go first
    if (!following_) load(false);
}

void TrendWindow::load(bool tell) {
    keepView();
    const QString path = st_.file.WorkFile.isEmpty() ? workFilePath(dir_) : st_.file.WorkFile;
    setWindowTitle(QStringLiteral("%1 — %2").arg(title(), QFileInfo(path).fileName()));
    shown_ = path;
    assessButton->setEnabled(false);
    // Nothing of the measurement shown before stays in view, even when this one cannot be read.
    showSource(nullptr);
    tellFailure_ = tell;
    warning_.clear();
    auto file = std::make_unique<TrendFileSource>();
    if (Status s = file->open(path, TrendPlots::plottedQuantities(), &warning_); !s) {
        status->setText(s.message());
        if (tell) messages_.show(s.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    showSource(std::move(file));
    loadMarkers();
    // The view the operator left this file in, or the default for one not shown before; its span once the file
    // is read.
    pendingView_ = trendView(dir_, path).value_or(TrendView{});
    applyView(*pendingView_);
    reloadButton->setEnabled(false);
    sliceChanged_ = false;
    slicer_.startNow(
        [this] {
            sliceChanged_ = source_->update() || sliceChanged_;
            return source_->settled();
        },
        [this](bool) { showRefresh(std::exchange(sliceChanged_, false)); });
}

void TrendWindow::showSource(std::unique_ptr<TrendSource> s) {
    slicer_.stop();
    tableSlicer_.stop();
    tableTimer_.stop();
    job_.reset();
    plots->setSource(nullptr);
    source_ = std::move(s);
    numberA_ = numberB_ = 0;
    pendingView_.reset();
    markers_.clear();
    markersWritable_ = false;
    showMarkers();
    showRows({});
    readout->clear();
    plots->setSource(source_.get());
    showSeries();
    drawn_.restart();
    drawnReady_ = 0;
}

void TrendWindow::refresh() {
    if (source_) showRefresh(source_->update());
}

void TrendWindow::showRefresh(bool changed) {
    const bool settled = source_->settled();
    reloadButton->setEnabled(!following_ && !slicer_.active());
    if (settled && !source_->failure().isEmpty()) return failed(source_->failure());
    status->setText(warning_.isEmpty() ? source_->status()
                                       : source_->status() + QStringLiteral("　") + warning_);
    if (!changed) return;
    showSeries();
    // Cursors once the operator has set them, and then the table follows what they cover; a whole source,
    // once it is, between its first and last sample.
    if (numberA_ > 0) {
        plots->setCursors(indexOfNumber(numberA_), indexOfNumber(numberB_));
        fillTable();
    } else if (settled && !source_->empty()) {
        setCursorNumbers(source_->firstNumber, source_->firstNumber + source_->size() - 1);
    }
    if (settled && pendingView_) {
        if (pendingView_->end > pendingView_->start) plots->setView(pendingView_->start, pendingView_->end);
        pendingView_.reset();
        showMarkers();  // at their samples' times, now known
    }
    const bool grown = source_->ready() - drawnReady_ >= source_->size() / kDrawShares;
    if (settled || (grown && drawn_.elapsed() >= kDrawEveryMs)) {
        plots->sourceChanged();
        drawn_.restart();
        drawnReady_ = source_->ready();
    }
    followLive();
    // A file summarised whole can be assessed and exported; the blocks of a receive are not a file yet.
    const bool whole = !following_ && settled && !source_->empty();
    assessButton->setEnabled(assessInterval_ != nullptr && whole);
    exportRangeButton->setEnabled(exportRange_ != nullptr && whole);
}

void TrendWindow::failed(const QString& why) {
    showSource(nullptr);
    reloadButton->setEnabled(true);
    status->setText(why);
    if (tellFailure_) messages_.show(why, errorTitle(), MessageButtons::Ok);
}

void TrendWindow::showSeries() {
    // The boxes take any number typed, so that one outside the measurement is said rather than silently
    // clamped; the tip tells the range.
    const QString tip = QStringLiteral("%1 – %2").arg(firstNumber()).arg(lastNumber());
    cursorA->setToolTip(tip);
    cursorB->setToolTip(tip);
}

int64_t TrendWindow::firstNumber() const { return source_ ? source_->firstNumber : 1; }

int64_t TrendWindow::lastNumber() const {
    return firstNumber() + std::max<int64_t>(source_ ? source_->size() : 0, 1) - 1;
}

// ---------------------------------------------------------------------------------------------------------
// Cursors and the table

int64_t TrendWindow::indexOfNumber(int64_t number) const {
    if (!source_) return 0;
    return std::clamp<int64_t>(number - source_->firstNumber, 0, std::max<int64_t>(source_->size() - 1, 0));
}

void TrendWindow::setCursorNumbers(int64_t a, int64_t b) {
    a = std::clamp(a, firstNumber(), lastNumber());
    b = std::clamp(b, firstNumber(), lastNumber());
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

void TrendWindow::cursorsFromSpins() {
    for (QSpinBox* box : {cursorA, cursorB}) {
        if (box->value() >= firstNumber() && box->value() <= lastNumber()) continue;
        status->setText(QStringLiteral("数据号 %1 超出范围（%2 – %3），光标 %4 未移动")
                            .arg(box->value())
                            .arg(firstNumber())
                            .arg(lastNumber())
                            .arg(box == cursorA ? QStringLiteral("A") : QStringLiteral("B")));
        const QSignalBlocker block(box);
        box->setValue(static_cast<int>(box == cursorA ? numberA_ : numberB_));
        return;
    }
    setCursorNumbers(cursorA->value(), cursorB->value());
}

void TrendWindow::cursorsFromPlots(int64_t a, int64_t b) {
    const QSignalBlocker ba(cursorA), bb(cursorB);
    numberA_ = source_->firstNumber + a;
    numberB_ = source_->firstNumber + b;
    cursorA->setValue(static_cast<int>(numberA_));
    cursorB->setValue(static_cast<int>(numberB_));
    tableTimer_.start();
}

void TrendWindow::fillTable() {
    tableSlicer_.stop();
    if (!source_ || source_->empty()) {
        job_.reset();
        showRows({});
        return;
    }
    job_.start(*source_, indexOfNumber(numberA_), indexOfNumber(numberB_));
    // The comparison over the span of its samples that lies, once aligned, between the same times.
    compareJob_.reset();
    compareSpan_ = {};
    if (compare_ && compare_->settled())
        compareSpan_ = alignedSpan(*compare_, shift(), source_->time(indexOfNumber(numberA_)),
                                   source_->time(indexOfNumber(numberB_)));
    if (!compareSpan_.empty()) compareJob_.start(*compare_, compareSpan_.a, compareSpan_.b);
    tableSlicer_.startNow([this] { return tableStep(); }, [this](bool over) { tableSlice(over); });
}

bool TrendWindow::tableStep() {
    // A job that is not started (nothing compared) is done at once.
    return job_.step() && (!job_.error().isEmpty() || compareJob_.step());
}

void TrendWindow::tableSlice(bool over) {
    const bool comparing = compare_ && !compareSpan_.empty();
    if (!over) {
        // A long interval is summed a slice at a time; meanwhile the table says how far it is.
        rows_.clear();
        table->clearSpans();
        table->setRowCount(1);
        table->setItem(0, 0, new QTableWidgetItem(QStringLiteral("正在计算")));
        table->setItem(
            0, 1,
            new QTableWidgetItem(QStringLiteral("第 %1 到 %2 组，已完成 %3%")
                                     .arg(source_->firstNumber + job_.a())
                                     .arg(source_->firstNumber + job_.b())
                                     .arg(100 * job_.done() / std::max<int64_t>(job_.total(), 1))));
        table->setSpan(0, 1, 1, 3);
        return;
    }
    const QString error = !job_.error().isEmpty() ? job_.error() : compareJob_.error();
    if (!error.isEmpty()) {
        status->setText(error);
        showRows({});
        return;
    }
    header_ = compare_ ? comparisonTableHeader() : intervalTableHeader();
    if (table->columnCount() != header_.size()) {
        table->setColumnCount(static_cast<int>(header_.size()));
        table->setHorizontalHeaderLabels(header_);
    }
    showRows(compare_ ? comparisonTable(job_.stats(), comparing ? &compareJob_.stats() : nullptr)
                      : intervalTable(job_.stats()));
}

void TrendWindow::showRows(std::vector<IntervalRow> rows) {
    table->clearSpans();
    table->setRowCount(0);
    rows_ = std::move(rows);
    if (rows_.empty()) return;
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
            table->setSpan(r, 1, 1, table->columnCount() - 1);
            table->item(r, 1)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    // Columns as wide as their figures; a rule in words wraps across the row instead of widening a column.
    const QFontMetrics fm(table->font());
    const QStringList& header = header_;
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
    QApplication::clipboard()->setText(intervalTableText(rows_, header_));
    status->setText(QStringLiteral("区间统计已复制到剪贴板"));
}

void TrendWindow::exportTable() {
    if (rows_.empty()) return;
    const FileDialogRequest r = saveRequest(QStringLiteral("导出表格"), QStringLiteral("CSV 文件(*.csv)"), QStringLiteral("csv"));
    const std::optional<QString> path = dialogs_.choose(r);
    if (!path) return;
    std::vector<std::vector<QString>> table = {{header_.begin(), header_.end()}};
    for (const IntervalRow& row : rows_) {
        table.push_back({row.label});
        table.back().insert(table.back().end(), row.cells.begin(), row.cells.end());
        table.back().resize(static_cast<size_t>(header_.size()));  // a rectangle, as spreadsheets expect
    }
    if (Status s = writeCsvTable(*path, table, true); !s) {
        messages_.show(QStringLiteral("区间统计导出失败！\r\n%1").arg(s.message()), errorTitle(), MessageButtons::Ok);
        return;
    }
    status->setText(QStringLiteral("区间统计已导出到 %1").arg(*path));
}

void TrendWindow::assessInterval() {
    if (!assessInterval_ || following_ || !source_ || source_->empty()) return;
    assessInterval_(shown_, std::min(numberA_, numberB_), std::max(numberA_, numberB_));
}

void TrendWindow::samplePicked(int64_t number) {
    const bool done = querySample_ && querySample_(number);
    status->setText(done ? QStringLiteral("数据分析窗口已查询第 %1 组").arg(number)
                         : QStringLiteral("数据分析窗口未打开或尚未分析完毕，无法查询第 %1 组").arg(number));
}

}  // namespace mervo
