// The main window's files: open, save, close, the recent files, a dropped file, the export, and the recording
// nobody saved.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "files/side_settings.h"
#include "platform/program_dir.h"
#include "shared/message_titles.h"
#include "windows/export_window.h"
#include "windows/main_window.h"

namespace mervo {

// The recording in the working file that nobody saved (a receive ended by closing the program, a save cancelled)
// is offered for saving before anything could overwrite it. False when the operator wanted it saved and the save
// did not happen: the working file must then stay as it is.
bool MainWindow::offerUnsavedRecording() {
    if (!unsavedRecordingWaiting(dir_)) return true;
    if (messages_.show(QStringLiteral("上次接收的数据尚未保存，是否保存？"), receiveTitle(), MessageButtons::YesNo) ==
        MessageAnswer::No) {
        setWorkFileUnsaved(dir_, false);
        return true;
    }
    applyFileResult(files_.saveWorkFile(), true);
    return !workFileUnsaved(dir_);
}

void MainWindow::applyFileResult(const FileOpResult& r) {
    if (!r.caption.isEmpty()) setWindowTitle(r.caption);
    // What was opened, or nothing once another file (or none) is in use.
    if (!r.caption.isEmpty()) receiveStatus->setText(r.summary);
    if (r.clearPanel) clearPanel();
    applyStates(r.controls);
    showNextNameplate();  // an opened file's nameplate is the one the next receive records
    if (!r.caption.isEmpty()) trendFollows();
}

namespace {
// A measurement file's name, as the file dialogs offer them.
bool isMeasurementFile(const QString& path) { return path.endsWith(QLatin1String(".MTQ"), Qt::CaseInsensitive); }
}  // namespace

void MainWindow::applyFileResult(const FileOpResult& r, bool named) {
    applyFileResult(r);
    // A file opened or saved under its name goes to the front of the recent files.
    if (named && !r.caption.isEmpty() && !st_.file.WorkFile.isEmpty() && st_.file.WorkFile != workFilePath(dir_))
        noteRecentFile(dir_, st_.file.WorkFile);
}

void MainWindow::mnuFileOpen_Click() {
    applyFileResult(files_.open(), true);
    sayIfNameplateReplaced(QStringLiteral("打开的文件"));
}

void MainWindow::openPath(const QString& path) {
    if (!mnuFileOpen->isEnabled()) return;
    if (!QFileInfo(path).isFile()) forgetRecentFile(dir_, path);
    applyFileResult(files_.openPath(path), true);
    sayIfNameplateReplaced(QStringLiteral("打开的文件"));
}

void MainWindow::fillRecentMenu() {
    mnuRecent->clear();
    const QStringList files = recentFiles(dir_);
    for (int k = 0; k < files.size(); ++k) {
        QAction* a = mnuRecent->addAction(QStringLiteral("&%1 %2").arg(k + 1).arg(files[k]));
        connect(a, &QAction::triggered, this, [this, path = files[k]] { openPath(path); });
    }
    mnuRecent->setEnabled(mnuFileOpen->isEnabled() && !files.isEmpty());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (mnuFileOpen->isEnabled() && urls.size() == 1 && urls[0].isLocalFile() && isMeasurementFile(urls[0].toLocalFile()))
        e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.size() != 1 || !urls[0].isLocalFile() || !isMeasurementFile(urls[0].toLocalFile())) return;
    e->acceptProposedAction();
    // After the drop has ended: opening may ask questions, which must not run inside the drag.
    QTimer::singleShot(0, this, [this, path = urls[0].toLocalFile()] { openPath(path); });
}
void MainWindow::mnuCLOSE_Click() { applyFileResult(files_.close()); }
void MainWindow::mnuSAVEFILE_Click() { applyFileResult(files_.save(), true); }
void MainWindow::mnuSAVE_AS_Click() { applyFileResult(files_.saveAs(), true); }
void MainWindow::mnuExport_Click() { exporter->start(st_.file.WorkFile); }

}  // namespace mervo
