// The trend window following a receive in progress: the blocks as they come in place of the file shown, the
// last minutes in view unless held still, and the file once the receive has ended.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "windows/trend_plots.h"
#include "windows/trend_window.h"

namespace mervo {

namespace {
constexpr int64_t kLiveMinutes[3] = {1, 5, 30};  // the spans a live view follows
}  // namespace

void TrendWindow::pollLive() {
    const bool receiving = live_ && receiving_ && receiving_() && live_->started();
    if (receiving && !following_) {
        // A receive has started: the file shown gives way to the blocks as they come.
        keepView();
        endComparison();
        following_ = true;
        warning_.clear();
        showSource(std::make_unique<TrendLiveSource>(*live_, receiving_, TrendPlots::plottedQuantities()));
        reloadButton->setEnabled(false);
        assessButton->setEnabled(false);
        exportRangeButton->setEnabled(false);
        setWindowTitle(QStringLiteral("%1 — 实时").arg(title()));
    }
    if (!following_) return;
    if (!freeze->isChecked()) refresh();
    if (!receiving) {
        following_ = false;
        reloadButton->setEnabled(true);
        setWindowTitle(QStringLiteral("%1 — 接收结束").arg(title()));
        if (source_) status->setText(source_->status());
    }
}

void TrendWindow::followLive() {
    if (!following_ || freeze->isChecked() || !source_ || source_->empty()) return;
    const double last = source_->time(source_->size() - 1);
    const double span = 60.0 * kLiveMinutes[std::clamp(liveSpan->currentIndex(), 0, 2)];
    plots->setView(last - span, last);
}

}  // namespace mervo
