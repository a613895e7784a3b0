// The main window's receive: starting it, feeding it from the port, its progress, and what follows its end.
#include <QLabel>
#include <QPushButton>
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
    cycle_.requestStop();
}

void MainWindow::beginReceive(ReceiveMode mode) {
    if (!offerUnsavedRecording()) return;
    const ControlStates before = controlStates();
    applyStates(mode == ReceiveMode::Manual ? states::manualReceiveStarts() : states::timedReceiveStarts());
    applyStates(states::receiveLock());
    auto giveUp = [&](const QString& text) {
        port_.close();
        applyStates(before);
        messages_.show(text, errorTitle(), MessageButtons::Ok);
    };
    const int n = st_.settings.CommPortNo;
    const QString device = devicePathForPort(n, dir_);
    if (Status opened = port_.open(device); !opened) {
        giveUp(QStringLiteral("串行口 COM%1（%2）无法打开！\r\n%3\r\n请检查仪表连接或在“设置→选项”中选择串行口。")
                   .arg(n)
                   .arg(device, opened.message()));
        return;
    }
    port_.discardWaiting();  // bytes from before the button was pressed belong to no measurement
    drawnBlocks_ = 0;
    receivePort_ = n;
    if (Status s = cycle_.start(mode, workFilePath(dir_)); !s) {
        giveUp(QStringLiteral("无法建立数据文件！\r\n%1").arg(s.message()));
        return;
    }
    // The readings of the receive before are not this one's: the panel waits for its first block.
    st_.live.LiveValues.fill(0);
    drawPanel();
    trendLive_.start(cycle_.snapshot().nameplate, st_.file.StartTime);
    setWindowTitle(captionClosed());  // the new data is in the working file, not in the file opened before
    setWorkFileUnsaved(dir_, true);
    mnuStopTimed->setEnabled(mode == ReceiveMode::Timed);
    progressAt_ = 0;
    progressBlocks_ = 0;
    blocksPerSecond_ = 0;
    showProgress(true);
    poll_.start();
    drainPort();
}

void MainWindow::drainPort() {
    if (!cycle_.running()) return;
    for (;;) {
        const QByteArray b = port_.readAll();
        if (b.isEmpty()) break;
        cycle_.feed(reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size()));
    }
    // The panel shows the latest block; a burst of blocks is drawn once.
    if (cycle_.blocks() != drawnBlocks_) {
        drawnBlocks_ = cycle_.blocks();
        drawPanel();
        Label2[10]->setText(QLatin1String(panelIndicator(st_.live.PowerFactorNegative)));
    }
}

void MainWindow::showProgress(bool now) {
    const double t = cycle_.elapsed();
    if (!now && t - progressAt_ < 1.0) return;
    if (t > progressAt_) blocksPerSecond_ = (cycle_.blocks() - progressBlocks_) / (t - progressAt_);
    progressAt_ = t;
    progressBlocks_ = cycle_.blocks();
    ReceiveProgress p;
    p.mode = cycle_.mode();
    p.blocks = cycle_.blocks();
    p.blocksPerSecond = blocksPerSecond_;
    p.skippedBytes = cycle_.skippedBytes();
    p.elapsed = t;
    p.total = cycle_.snapshot().TotalTime;
    p.port = receivePort_;
    receiveStatus->setText(receiveStatusText(p));
    // The elapsed time goes on while no block comes; a block shows its own time as it arrives.
    if (cycle_.blocks() == drawnBlocks_) drawTimeBoxes(static_cast<float>(t));
}

void MainWindow::onReceiveEnded(ReceiveEnd end) {
    poll_.stop();
    mnuStopTimed->setEnabled(false);
    receiveStatus->setText(QStringLiteral("接收结束　已记录 %1 组").arg(cycle_.blocks()));
    port_.close();
    if (cycle_.blocks() == 0) setWorkFileUnsaved(dir_, false);  // nothing recorded, nothing to save
    if (cycle_.blocks() != drawnBlocks_) {
        drawnBlocks_ = cycle_.blocks();
        drawPanel();
        Label2[10]->setText(QLatin1String(panelIndicator(st_.live.PowerFactorNegative)));
    }
    if (exiting_) return;
    // The question and messages wait until the port's handler has returned.
    const ReceiveMode mode = cycle_.mode();
    QTimer::singleShot(0, this, [this, end, mode] { afterReceive(end, mode); });
}

void MainWindow::afterReceive(ReceiveEnd end, ReceiveMode mode) {
    if (end == ReceiveEnd::Aborted || end == ReceiveEnd::WriteFailed) {
        messages_.show(end == ReceiveEnd::Aborted ? receiveErrorText(cycle_.errorNumber())
                                                  : receiveEndText(end, cycle_.endDetail()),
                       errorTitle(), MessageButtons::Ok);
        Form_Load();
        trendFollows();
        return;
    }
    if (mode == ReceiveMode::Manual) applyStates(states::stopPressed());
    applyStates(mode == ReceiveMode::Manual ? states::manualReceiveEnds() : states::timedReceiveEnds());
    if (cycle_.blocks() == 0) {
        afterNothingReceived(end);
        return;
    }
    if (end == ReceiveEnd::PortLost) messages_.show(receiveEndText(end, cycle_.endDetail()), errorTitle(), MessageButtons::Ok);
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
