// The trend window's audit tools: a second measurement compared over the first, the markers kept beside the
// file, the value cursors and the A–B tools, pictures that carry their caption, and the views each file is
// shown in again.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>

#include "analysis/trend_caption.h"
#include "analysis/trend_file_source.h"
#include "measurement/marker_edit.h"
#include "platform/file_replacement.h"
#include "shared/message_titles.h"
#include "shared/text_parse.h"
#include "windows/trend_plots.h"
#include "windows/trend_window.h"

namespace mervo {

void TrendWindow::buildTools(QHBoxLayout* row) {
    const auto button = [this, row](const QString& text, const char* name, void (TrendWindow::*handler)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, handler);
        row->addWidget(b);
        return b;
    };
    compareButton = button(QStringLiteral("比较…"), "trendCompare", &TrendWindow::compare);
    alignMode = new QComboBox(this);
    alignMode->addItems({QStringLiteral("按流逝时间对齐"), QStringLiteral("按时刻对齐")});
    connect(alignMode, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { comparisonMoved(); });
    row->addWidget(alignMode);
    row->addWidget(new QLabel(QStringLiteral("偏移 (s)"), this));
    compareOffset = new QDoubleSpinBox(this);
    compareOffset->setObjectName(QStringLiteral("trendCompareOffset"));
    compareOffset->setRange(-1e7, 1e7);
    compareOffset->setDecimals(2);
    compareOffset->setKeyboardTracking(false);
    compareOffset->setToolTip(QStringLiteral("按住 Alt 在图中拖动也可移动比较曲线"));
    connect(compareOffset, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this] { comparisonMoved(); });
    row->addWidget(compareOffset);
    row->addSpacing(12);
    zoomButton = button(QStringLiteral("缩放到A–B"), "trendZoomAB", &TrendWindow::zoomToCursors);
    exportRangeButton = button(QStringLiteral("导出A–B数据…"), "trendExportAB", &TrendWindow::exportCursorRange);
    exportRangeButton->setEnabled(false);
    row->addSpacing(12);
    valueCursors = new QCheckBox(QStringLiteral("数值光标"), this);
    valueCursors->setObjectName(QStringLiteral("trendValueCursors"));
    connect(valueCursors, &QCheckBox::toggled, this, [this](bool on) { plots->setValueCursorsShown(on); });
    row->addWidget(valueCursors);
    valuePanel = new QComboBox(this);
    for (int k = 0; k < TrendPlots::kPanels; ++k) valuePanel->addItem(TrendPlots::panelTitle(k));
    connect(valuePanel, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int k) {
        valueEdit->setText(QString::number(plots->valueCursor(k), 'g', 6));
    });
    row->addWidget(valuePanel);
    valueEdit = new QLineEdit(this);
    valueEdit->setObjectName(QStringLiteral("trendValue"));
    valueEdit->setMaximumWidth(100);
    connect(valueEdit, &QLineEdit::returnPressed, this, &TrendWindow::valueTyped);
    row->addWidget(valueEdit);
    row->addSpacing(12);
    legendPlace = new QComboBox(this);
    legendPlace->addItems({QStringLiteral("图例在图内"), QStringLiteral("图例在图旁"), QStringLiteral("隐藏图例")});
    connect(legendPlace, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int i) { plots->setLegendPlace(i); });
    row->addWidget(legendPlace);
    copyPictureButton = button(QStringLiteral("复制图片"), "trendCopyPicture", &TrendWindow::copyPicture);
    defaultViewButton = button(QStringLiteral("恢复默认视图"), "trendDefaultView", &TrendWindow::restoreDefaultView);
    row->addStretch(1);

    markerList = new QListWidget(this);
    markerList->setObjectName(QStringLiteral("trendMarkers"));
    markerList->setToolTip(QStringLiteral("单击：光标 A 移到标记处；双击：编辑文字；Delete：删除"));
    connect(markerList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = markerList->row(item);
        if (row >= 0 && row < static_cast<int>(markers_.size()))
            setCursorNumbers(markers_[static_cast<size_t>(row)].sample, numberB_);
    });
    connect(markerList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        // Once the list's editor is done with the item: writing the marker fills the list afresh.
        QTimer::singleShot(0, this, [this, row = markerList->row(item), text = item->text()] { editMarker(row, text); });
    });
    auto* del = new QShortcut(QKeySequence::Delete, markerList, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, [this] { deleteMarker(markerList->currentRow()); });
    deleteMarkerButton = new QPushButton(QStringLiteral("删除标记"), this);
    deleteMarkerButton->setObjectName(QStringLiteral("trendDeleteMarker"));
    row->insertWidget(row->count() - 1, deleteMarkerButton);  // before the stretch
    connect(deleteMarkerButton, &QPushButton::clicked, this, [this] { deleteMarker(markerList->currentRow()); });

    plots->onMarkerRequested = [this](double t) { addMarkerAt(t); };
    plots->onComparisonDragged = [this](double by) { compareOffset->setValue(compareOffset->value() + by); };
    plots->onValueCursorMoved = [this](int k, double v) {
        const QSignalBlocker b(valuePanel);
        valuePanel->setCurrentIndex(k);
        valueEdit->setText(QString::number(v, 'g', 6));
    };
}

// ---------------------------------------------------------------------------------------------------------
// Comparison

void TrendWindow::compare() {
    if (compare_) return endComparison();
    FileDialogRequest r;
    r.title = QStringLiteral("比较");
    r.filter = QStringLiteral("电能综合测试(*.MTQ)");
    r.mustExist = true;
    const std::optional<QString> path = dialogs_.choose(r);
    if (path) compareWith(*path);
}

bool TrendWindow::compareWith(const QString& path) {
    if (following_ || !source_) {
        status->setText(QStringLiteral("接收进行中或没有打开的数据文件：无法比较"));
        return false;
    }
    endComparison();
    auto file = std::make_unique<TrendFileSource>();
    if (Status s = file->open(path, TrendPlots::plottedQuantities()); !s) {
        status->setText(QStringLiteral("无法比较：%1").arg(s.message()));
        return false;
    }
    compare_ = std::move(file);
    comparedPath_ = path;
    compareButton->setText(QStringLiteral("结束比较"));
    plots->setComparison(compare_.get(), shift(), QStringLiteral("比较：%1").arg(QFileInfo(path).fileName()));
    compareSlicer_.startNow(
        [this] {
            compare_->update();
            return compare_->settled();
        },
        [this](bool over) { compareSlice(over); });
    return true;
}

void TrendWindow::compareSlice(bool over) {
    if (!over) return;
    if (!compare_->failure().isEmpty()) {
        status->setText(QStringLiteral("无法比较：%1").arg(compare_->failure()));
        return endComparison();
    }
    comparisonMoved();
}

void TrendWindow::endComparison() {
    compareSlicer_.stop();
    tableSlicer_.stop();
    compareJob_.reset();
    compareSpan_ = {};
    plots->setComparison(nullptr, 0, QString());
    const bool was = compare_ != nullptr;
    compare_.reset();
    comparedPath_.clear();
    compareButton->setText(QStringLiteral("比较…"));
    if (was) fillTable();
}

double TrendWindow::shift() const {
    if (!source_ || !compare_) return 0;
    return compareShift(alignMode->currentIndex() == 1 ? CompareAlignment::ClockTime : CompareAlignment::Elapsed,
                        source_->startClock, compare_->startClock, compareOffset->value());
}

void TrendWindow::comparisonMoved() {
    if (!compare_) return;
    plots->setComparisonShift(shift());
    // Dragged along, the table follows once the hand rests.
    if (compare_->settled()) tableTimer_.start();
}

// ---------------------------------------------------------------------------------------------------------
// Markers

void TrendWindow::loadMarkers() {
    markers_.clear();
    markersWritable_ = false;
    if (source_) {
        Result<Sidecar> side = readSidecar(shown_, source_->startClock);
        if (side) {
            markers_ = side->markers;
            markersWritable_ = true;
        } else if (!warning_.contains(side.message())) {
            // Kept as it is: whatever it holds is not written over.
            warning_ += side.message();
        }
    }
    showMarkers();
}

void TrendWindow::showMarkers() {
    std::stable_sort(markers_.begin(), markers_.end(),
                     [](const Marker& a, const Marker& b) { return a.sample < b.sample; });
    const QSignalBlocker block(markerList);
    markerList->clear();
    std::vector<TrendPlots::MarkerLine> lines;
    for (const Marker& m : markers_) {
        auto* item = new QListWidgetItem(m.text, markerList);
        item->setToolTip(QStringLiteral("第 %1 组").arg(m.sample));
        item->setFlags(item->flags() | (markersWritable_ ? Qt::ItemIsEditable : Qt::NoItemFlags));
        const int64_t i = m.sample - (source_ ? source_->firstNumber : 1);
        if (source_ && i >= 0 && i < source_->size()) lines.push_back({source_->time(i), m.text});
    }
    plots->setMarkers(lines);
    deleteMarkerButton->setEnabled(markersWritable_ && !markers_.empty());
}

bool TrendWindow::changeMarkers(const std::function<void(std::vector<Marker>&)>& change) {
    if (!source_ || following_ || !markersWritable_) {
        status->setText(following_ ? QStringLiteral("接收进行中：标记请在主窗口设置")
                                   : QStringLiteral("附属文件无法使用，标记不能修改"));
        return false;
    }
    // The sidecar as it is now (the command line may have changed it meanwhile), with its gaps kept, under the
    // measurement's writer lock as every edit of markers is.
    Result<std::vector<Marker>> next = changeMarkersInFile(
        shown_,
        [&](std::vector<Marker>& list, int64_t) {
            change(list);
            return Status();
        },
        files_);
    if (!next) {
        messages_.show(QStringLiteral("标记无法保存！\r\n%1").arg(next.message()), errorTitle(), MessageButtons::Ok);
        loadMarkers();
        return false;
    }
    markers_ = *next;
    showMarkers();
    return true;
}

void TrendWindow::addMarkerAt(double t) {
    if (!source_ || source_->empty()) return;
    const int64_t sample = source_->firstNumber + source_->nearest(t);
    for (const Marker& m : markers_)
        if (m.sample == sample) return;  // one a sample, as the command line keeps them
    if (!changeMarkers([&](std::vector<Marker>& list) {
            list.push_back({sample, QStringLiteral("标记 %1").arg(list.size() + 1)});
        }))
        return;
    status->setText(QStringLiteral("已在第 %1 组设标记；在右侧列表中双击可编辑文字").arg(sample));
}

void TrendWindow::editMarker(int row, const QString& text) {
    if (row < 0 || row >= static_cast<int>(markers_.size())) return;
    const Marker was = markers_[static_cast<size_t>(row)];
    if (text.trimmed().isEmpty() || text == was.text) return showMarkers();
    changeMarkers([&](std::vector<Marker>& list) {
        for (Marker& m : list)
            if (m == was) {
                m.text = text;
                break;
            }
    });
}

void TrendWindow::deleteMarker(int row) {
    if (row < 0 || row >= static_cast<int>(markers_.size())) return;
    const Marker was = markers_[static_cast<size_t>(row)];
    changeMarkers([&](std::vector<Marker>& list) {
        const auto at = std::find(list.begin(), list.end(), was);
        if (at != list.end()) list.erase(at);
    });
}

// ---------------------------------------------------------------------------------------------------------
// Cursor tools

void TrendWindow::zoomToCursors() {
    if (!source_ || source_->empty()) return;
    const double a = source_->time(indexOfNumber(std::min(numberA_, numberB_)));
    const double b = source_->time(indexOfNumber(std::max(numberA_, numberB_)));
    plots->setView(a, b > a ? b : a + 1);
    if (following_) freeze->setChecked(true);
}

void TrendWindow::exportCursorRange() {
    if (!exportRange_ || following_ || !source_ || source_->empty()) return;
    exportRange_(shown_, std::min(numberA_, numberB_), std::max(numberA_, numberB_));
}

void TrendWindow::valueTyped() {
    const int k = valuePanel->currentIndex();
    const std::optional<double> v = numberFromText(valueEdit->text());
    const auto [lo, hi] = plots->valueRange(k);
    if (!v || !(*v >= lo && *v <= hi)) {
        status->setText(QStringLiteral("“%1”不在%2的纵轴范围（%3 – %4）内，数值光标未移动")
                            .arg(valueEdit->text(), TrendPlots::panelTitle(k), QString::number(lo, 'g', 6),
                                 QString::number(hi, 'g', 6)));
        return;
    }
    if (!valueCursors->isChecked()) valueCursors->setChecked(true);
    plots->setValueCursor(k, *v);
}

// ---------------------------------------------------------------------------------------------------------
// Pictures

QStringList TrendWindow::pictureCaption() const {
    if (!source_) return {};
    TrendCaptionInput in;
    in.path = following_ ? QStringLiteral("实时") : shown_;
    in.nameplate = source_->nameplate;
    in.t0 = plots->viewStart();
    in.t1 = plots->viewEnd();
    for (const Marker& m : markers_) {
        const int64_t i = m.sample - source_->firstNumber;
        if (i >= 0 && i < source_->size() && source_->time(i) >= in.t0 && source_->time(i) <= in.t1)
            in.markers.push_back(m);
    }
    in.comparedPath = comparedPath_;
    return trendCaption(*source_, in);
}

void TrendWindow::savePicture() {
    const FileDialogRequest r = saveRequest(QStringLiteral("保存图片"),
                                            QStringLiteral("PNG 图片(*.png);;PDF 文件(*.pdf);;SVG 图片(*.svg)"),
                                            QStringLiteral("png"));
    const std::optional<QString> path = dialogs_.choose(r);
    if (!path) return;
    const QString suffix = QFileInfo(*path).suffix().toLower();
    const QString format = suffix == QLatin1String("pdf") || suffix == QLatin1String("svg") ? suffix : QStringLiteral("png");
    if (!writePicture(*path, plots->picture(pictureCaption(), format))) return;
    status->setText(QStringLiteral("图片已保存：%1").arg(*path));
}

void TrendWindow::copyPicture() {
    const QImage image = plots->image(pictureCaption());
    if (image.isNull()) return;
    QApplication::clipboard()->setImage(image);
    status->setText(QStringLiteral("图片已复制到剪贴板"));
}

bool TrendWindow::writePicture(const QString& path, const QByteArray& bytes) {
    // Beside the old picture first, put in its place only once whole: a failed write leaves the old one.
    Status s = bytes.isEmpty() ? Status::failure(QStringLiteral("没有可见的图")) : Status();
    if (s) {
        FileReplacement out(files_);
        s = out.begin(path);
        if (s) s = out.file().writeAt(0, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (s) s = out.commit();
    }
    if (s) return true;
    messages_.show(QStringLiteral("图片 %1 无法保存！\r\n%2").arg(path, s.message()), errorTitle(), MessageButtons::Ok);
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// Views

TrendView TrendWindow::currentView() const {
    TrendView v;
    for (int k = 0; k < TrendPlots::kPanels; ++k) {
        v.panels[static_cast<size_t>(k)] = panelBoxes[static_cast<size_t>(k)]->isChecked();
        if (fixedAxes->isChecked()) v.axes.push_back(plots->valueRange(k));
    }
    for (int h : plots->splitter->sizes()) v.heights.push_back(h);
    v.fixedAxes = fixedAxes->isChecked();
    v.timeMode = timeMode->currentIndex();
    v.start = plots->viewStart();
    v.end = plots->viewEnd();
    v.legend = legendPlace->currentIndex();
    return v;
}

void TrendWindow::applyView(const TrendView& v) {
    for (int k = 0; k < TrendPlots::kPanels; ++k) panelBoxes[static_cast<size_t>(k)]->setChecked(v.panels[static_cast<size_t>(k)]);
    if (v.heights.size() == static_cast<size_t>(TrendPlots::kPanels))
        plots->splitter->setSizes(QList<int>(v.heights.begin(), v.heights.end()));
    timeMode->setCurrentIndex(v.timeMode);
    legendPlace->setCurrentIndex(v.legend);
    fixedAxes->setChecked(v.fixedAxes);
    if (v.fixedAxes && v.axes.size() == static_cast<size_t>(TrendPlots::kPanels))
        for (int k = 0; k < TrendPlots::kPanels; ++k)
            plots->setValueRange(k, v.axes[static_cast<size_t>(k)].first, v.axes[static_cast<size_t>(k)].second);
}

void TrendWindow::keepView() {
    // Only a file shown whole: its span is then the operator's, not the one a half-read file had.
    if (following_ || !source_ || !source_->settled() || source_->empty() || pendingView_ || shown_.isEmpty()) return;
    rememberTrendView(dir_, shown_, currentView());
}

void TrendWindow::restoreDefaultView() {
    if (!following_ && !shown_.isEmpty()) forgetTrendView(dir_, shown_);
    applyView(TrendView{});
    plots->resetView();
    status->setText(QStringLiteral("已恢复默认视图"));
}

}  // namespace mervo
