// The main window's receive: starting it, feeding it from the port, its progress, and what follows its end.
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "acquisition/receive_status.h"
#include "files/side_settings.h"
#include "measurement/reactive_sign.h"
#include "platform/program_dir.h"
#include "shared/message_titles.h"
#include "windows/main_window.h"

namespace mervo {

void MainWindow::Command1_Click() { beginReceive(ReceiveMode::Timed); }
void MainWindow::Command3_Click() { beginReceive(ReceiveMode::Manual); }

void MainWindow::Command4_Click() {
    applyStates(states::stopPressed());
    session_.stop();
}

void MainWindow::beginReceive(ReceiveMode mode) {
    if (!offerUnsavedRecording()) return;
    const ControlStates before = controlStates();
    applyStates(mode == ReceiveMode::Manual ? states::manualReceiveStarts() : states::timedReceiveStarts());
    applyStates(states::receiveLock());
    const int n = st_.settings.CommPortNo;
    const QString device = devicePathForPort(n, dir_);
    ReceiveSession::StartFailure failure;
    if (Status s = session_.start(mode, device, workFilePath(dir_), mnuReconnect->isChecked(), &failure); !s) {
        applyStates(before);
        messages_.show(failure.step == ReceiveSession::StartStep::Port
                           ? QStringLiteral("串行口 COM%1（%2）无法打开！\r\n%3\r\n请检查仪表连接或在“设置→选项”中选择串行口。")
                                 .arg(n)
                                 .arg(device, s.message())
                           : QStringLiteral("无法建立数据文件！\r\n%1").arg(s.message()),
                       errorTitle(), MessageButtons::Ok);
        return;
    }
    drawnBlocks_ = 0;
    receivePort_ = n;
    // The readings of the receive before are not this one's: the panel waits for its first block.
    st_.live.LiveValues.fill(0);
    drawPanel();
    trendLive_.start(session_.cycle().snapshot().nameplate, st_.file.StartTime);
    setWindowTitle(captionClosed());  // the new data is in the working file, not in the file opened before
    setWorkFileUnsaved(dir_, true);
    mnuStopTimed->setEnabled(mode == ReceiveMode::Timed);
    markerButton->setEnabled(true);
    markerButton->show();
    markerKey->setEnabled(true);
    showProgress();
    session_.drain();
}

void MainWindow::markerButton_Click() {
    if (!session_.running()) return;
    const Result<Marker> m = session_.cycle().addMarker();
    // Said for a few seconds over the progress, which then comes back; the receive is not held up by a question.
    statusBar()->showMessage(m ? QStringLiteral("%1：第 %2 组").arg(m->text).arg(m->sample) : m.message(), 4000);
}

void MainWindow::showLatestBlock() {
    const ReceiveCycle& cycle = session_.cycle();
    if (cycle.blocks() == drawnBlocks_) return;
    drawnBlocks_ = cycle.blocks();
    drawPanel();
    Label2[10]->setText(QLatin1String(panelIndicator(st_.live.PowerFactorNegative)));
}

void MainWindow::showProgress() {
    const ReceiveCycle& cycle = session_.cycle();
    const double t = cycle.elapsed();
    ReceiveProgress p;
    p.mode = cycle.mode();
    p.blocks = cycle.blocks();
    p.blocksPerSecond = session_.blocksPerSecond();
    p.skippedBytes = cycle.skippedBytes();
    p.elapsed = t;
    p.total = cycle.snapshot().TotalTime;
    p.port = receivePort_;
    p.waiting = session_.waitingForDevice();
    p.disconnected = session_.disconnectedSeconds();
    receiveStatus->setText(receiveStatusText(p));
    // The elapsed time goes on while no block comes; a block shows its own time as it arrives.
    if (cycle.blocks() == drawnBlocks_) drawTimeBoxes(static_cast<float>(t));
}

void MainWindow::onReceiveEnded(ReceiveEnd end) {
    const ReceiveCycle& cycle = session_.cycle();
    mnuStopTimed->setEnabled(false);
    markerButton->setEnabled(false);
    markerButton->hide();
    markerKey->setEnabled(false);
    receiveStatus->setText(QStringLiteral("接收结束　已记录 %1 组").arg(cycle.blocks()));
    if (cycle.blocks() == 0) setWorkFileUnsaved(dir_, false);  // nothing recorded, nothing to save
    showLatestBlock();
    if (exiting_) return;
    // The question and messages wait until the port's handler has returned.
    const ReceiveMode mode = cycle.mode();
    QTimer::singleShot(0, this, [this, end, mode] { afterReceive(end, mode); });
}

void MainWindow::afterReceive(ReceiveEnd end, ReceiveMode mode) {
    if (end == ReceiveEnd::Aborted || end == ReceiveEnd::WriteFailed) {
        messages_.show(end == ReceiveEnd::Aborted ? receiveErrorText(session_.cycle().errorNumber())
                                                  : receiveEndText(end, session_.cycle().endDetail()),
                       errorTitle(), MessageButtons::Ok);
        Form_Load();
        trendFollows();
        return;
    }
    if (mode == ReceiveMode::Manual) applyStates(states::stopPressed());
    applyStates(mode == ReceiveMode::Manual ? states::manualReceiveEnds() : states::timedReceiveEnds());
    if (session_.cycle().blocks() == 0) {
        afterNothingReceived(end);
        return;
    }
    if (end == ReceiveEnd::PortLost) messages_.show(receiveEndText(end, session_.cycle().endDetail()), errorTitle(), MessageButtons::Ok);
    if (messages_.show(QStringLiteral("数据接收完成，是否保存？"), receiveTitle(), MessageButtons::YesNo) ==
        MessageAnswer::Yes)
        mnuSAVEFILE_Click();
    else
        setWorkFileUnsaved(dir_, false);  // declined: not asked again
    trendFollows();
}

// A receive without a single block leaves no measurement in hand: nothing to save, analyse or export, as after
// Close; the operator is told what to check.
void MainWindow::afterNothingReceived(ReceiveEnd end) {
    applyFileResult(files_.close());
    messages_.show(nothingReceivedText(receivePort_, devicePathForPort(receivePort_, dir_), end == ReceiveEnd::PortLost),
                   receiveTitle(), MessageButtons::Ok);
    receiveStatus->setText(QStringLiteral("接收结束　未收到任何数据"));
}

}  // namespace mervo
