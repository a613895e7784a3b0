#include "windows/export_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "printing/data_table.h"
#include "shared/message_titles.h"
#include "shared/text_parse.h"

namespace mervo {

namespace {
const QString kTitle = QStringLiteral("导出数据(CSV)");

// The intervals offered, in seconds: a second to an hour, the quarter hour of demand metering among them.
constexpr double kOfferedIntervals[] = {1, 10, 60, 300, 900, 3600};

bool usableInterval(double seconds) { return std::isfinite(seconds) && seconds >= kShortestExportInterval; }

QString intervalText(double seconds) { return QString::number(seconds, 'g', QLocale::FloatingPointShortest); }
}  // namespace

ExportDialog::ExportDialog(int64_t samples, MessageBoxes& messages, const ExportChoices& chosen, QWidget* parent)
    : QDialog(parent), messages_(messages) {
    setObjectName(QStringLiteral("ExportDialog"));
    setWindowTitle(kTitle);
    auto* grid = new QGridLayout(this);
    everySample = new QRadioButton(QStringLiteral("每组数据一行"), this);
    perInterval = new QRadioButton(QStringLiteral("每"), this);
    interval = new QComboBox(this);
    interval->setEditable(true);
    interval->setInsertPolicy(QComboBox::NoInsert);
    for (double s : kOfferedIntervals) interval->addItem(intervalText(s));
    if (usableInterval(chosen.intervalSeconds)) seconds_ = chosen.intervalSeconds;
    interval->setCurrentText(intervalText(seconds_));
    interval->setEnabled(false);
    connect(perInterval, &QRadioButton::toggled, interval, &QComboBox::setEnabled);
    (chosen.perInterval ? perInterval : everySample)->setChecked(true);
    grid->addWidget(everySample, 0, 0, 1, 4);
    grid->addWidget(perInterval, 1, 0);
    grid->addWidget(interval, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("秒一行（平均值、最小值、最大值）"), this), 1, 2, 1, 2);

    const int last = static_cast<int>(std::min<int64_t>(samples, std::numeric_limits<int>::max()));
    range = new QCheckBox(QStringLiteral("只导出第"), this);
    from = new QSpinBox(this);
    to = new QSpinBox(this);
    for (QSpinBox* b : {from, to}) {
        b->setRange(1, std::max(1, last));
        b->setEnabled(false);
        connect(range, &QCheckBox::toggled, b, &QSpinBox::setEnabled);
    }
    to->setValue(std::max(1, last));
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(range);
    rangeRow->addWidget(from);
    rangeRow->addWidget(new QLabel(QStringLiteral("到"), this));
    rangeRow->addWidget(to);
    rangeRow->addWidget(new QLabel(QStringLiteral("组（共 %1 组）").arg(samples), this));
    rangeRow->addStretch();
    grid->addLayout(rangeRow, 2, 0, 1, 4);
    spreadsheet = new QCheckBox(QStringLiteral("供电子表格程序打开（UTF-8 BOM，CRLF 换行）"), this);
    spreadsheet->setChecked(chosen.spreadsheet);
    grid->addWidget(spreadsheet, 3, 0, 1, 4);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("导出…"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::takeChoices);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 4, 0, 1, 4);
}

void ExportDialog::takeChoices() {
    if (perInterval->isChecked()) {
        const std::optional<double> s = numberFromText(interval->currentText());
        if (!s || !usableInterval(*s)) {
            messages_.show(QStringLiteral("“%1”不是有效的时间间隔，请输入不小于 %2 的秒数！")
                               .arg(interval->currentText(), intervalText(kShortestExportInterval)),
                           errorTitle(), MessageButtons::Ok);
            interval->setFocus();
            return;
        }
        seconds_ = *s;
    }
    // The two numbers in either order mean the same range.
    if (from->value() > to->value()) {
        const int f = from->value();
        from->setValue(to->value());
        to->setValue(f);
    }
    accept();
}

void ExportDialog::presetRange(int64_t first, int64_t last) {
    range->setChecked(true);
    from->setValue(static_cast<int>(std::min<int64_t>(first, from->maximum())));
    to->setValue(static_cast<int>(std::min<int64_t>(last, to->maximum())));
}

ExportChoices ExportDialog::choices() const { return {perInterval->isChecked(), seconds_, spreadsheet->isChecked()}; }

CsvExportOptions ExportDialog::options() const {
    CsvExportOptions o;
    if (perInterval->isChecked()) o.intervalSeconds = seconds_;
    if (range->isChecked()) {
        o.from = from->value();
        o.to = to->value();
    }
    o.spreadsheet = spreadsheet->isChecked();
    return o;
}

CsvExporter::CsvExporter(FileDialogs& dialogs, MessageBoxes& messages, QString programDir, QWidget* parent)
    : QObject(parent), dialogs_(dialogs), messages_(messages), dir_(std::move(programDir)), parent_(parent) {
    askOptions = [this](int64_t samples, QWidget* window) -> std::optional<CsvExportOptions> {
        ExportDialog d(samples, messages_, lastExportChoices(dir_), window);
        if (presetFrom_ > 0) d.presetRange(presetFrom_, presetTo_);
        if (d.exec() != QDialog::Accepted) return std::nullopt;
        rememberExportChoices(dir_, d.choices());
        return d.options();
    };
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, &CsvExporter::tick);
}

CsvExporter::~CsvExporter() {
    // A window closed mid-export: the export stops and leaves no partial file.
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    delete progress_.data();
}

void CsvExporter::start(const QString& measurement, QWidget* window, int64_t from, int64_t to) {
    if (running()) return;
    presetFrom_ = from;
    presetTo_ = to;
    QWidget* over = window ? window : parent_;
    const Result<int64_t> samples = tableSampleCount(measurement);
    if (!samples) {
        messages_.show(QStringLiteral("无法导出数据！\r\n%1").arg(samples.message()), errorTitle(), MessageButtons::Ok);
        return;
    }
    const std::optional<CsvExportOptions> options = askOptions(*samples, over);
    if (!options) return;
    const FileDialogRequest request = saveRequest(kTitle, QStringLiteral("CSV 文件(*.csv)"), QStringLiteral("csv"));
    const std::optional<QString> output = dialogs_.choose(request);
    if (!output) return;
    output_ = *output;
    done_ = 0;
    total_ = 0;
    cancel_ = false;
    over_ = false;

    // The window stays responsive; only the main window's input waits while the export runs.
    auto* dialog = new QDialog(over);
    dialog->setObjectName(QStringLiteral("ExportProgress"));
    dialog->setWindowTitle(kTitle);
    dialog->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("正在导出到 %1 ……").arg(output_), dialog));
    bar_ = new QProgressBar(dialog);
    layout->addWidget(bar_);
    auto* cancel = new QPushButton(QStringLiteral("取消"), dialog);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, this, [this] { cancel_ = true; });
    connect(dialog, &QDialog::rejected, this, [this] { cancel_ = true; });  // Esc, or the window closed
    progress_ = dialog;
    dialog->show();

    worker_ = std::thread([this, measurement, o = *options] {
        result_ = exportCsv(measurement, output_, o, [this](int64_t done, int64_t total) {
            done_ = done;
            total_ = total;
            return !cancel_;
        });
        over_ = true;
    });
    timer_.start();
}

void CsvExporter::tick() {
    if (over_) {
        finish();
        return;
    }
    const int64_t total = total_;
    if (total > 0 && progress_) {
        bar_->setRange(0, 1000);
        bar_->setValue(static_cast<int>(done_ * 1000 / total));
    }
}

void CsvExporter::finish() {
    timer_.stop();
    worker_.join();
    delete progress_.data();
    bar_ = nullptr;
    if (!result_ && !exportCancelled(result_))
        messages_.show(QStringLiteral("数据导出失败！\r\n%1").arg(result_.message()), errorTitle(), MessageButtons::Ok);
    if (onFinished) onFinished(output_, result_);
}

}  // namespace mervo
