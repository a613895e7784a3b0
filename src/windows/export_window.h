// 导出数据(CSV): what to export (every sample, an interval's mean/min/max, a range, the spreadsheet form), offered
// as the last export chose it, then the export itself on a thread of its own behind a progress window that can
// cancel it.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "files/side_settings.h"
#include "platform/dialogs.h"
#include "export/csv_export.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QRadioButton;
class QSpinBox;

namespace mervo {

class ExportDialog : public QDialog {
    Q_OBJECT
public:
    // Opens with the choices `chosen`; a bad interval typed in is refused through `messages`, the dialog staying open.
    ExportDialog(int64_t samples, MessageBoxes& messages, const ExportChoices& chosen = {}, QWidget* parent = nullptr);
    CsvExportOptions options() const;
    // Offers only samples `from`..`to`.
    void presetRange(int64_t from, int64_t to);
    // The choices to offer next time.
    ExportChoices choices() const;

    QRadioButton *everySample, *perInterval;
    QComboBox* interval;  // seconds: one of the usual intervals, or any typed in
    QCheckBox* range;
    QSpinBox *from, *to;
    QCheckBox* spreadsheet;

private:
    void takeChoices();

    MessageBoxes& messages_;
    double seconds_ = 1;  // the interval taken
};

class CsvExporter : public QObject {
    Q_OBJECT
public:
    // The choices of each export are kept in the side settings of `programDir`.
    CsvExporter(FileDialogs& dialogs, MessageBoxes& messages, QString programDir, QWidget* parent);
    ~CsvExporter() override;

    // Asks what to export and where, then exports `measurement` in the background, its dialogs over `window`
    // (the parent when null), the range of samples `from`..`to` offered when given (from 1). One export at a time.
    void start(const QString& measurement, QWidget* window = nullptr, int64_t from = 0, int64_t to = 0);
    bool running() const { return worker_.joinable(); }

    // What to export of a file of `samples` samples, or nothing when the operator cancelled (tests answer it).
    std::function<std::optional<CsvExportOptions>(int64_t samples, QWidget* window)> askOptions;
    // Told how an export ended: where it went, or why not.
    std::function<void(const QString& output, const Status& result)> onFinished;

private:
    void tick();
    void finish();

    FileDialogs& dialogs_;
    MessageBoxes& messages_;
    QString dir_;
    QWidget* parent_;
    std::thread worker_;
    std::atomic<int64_t> done_{0}, total_{0};
    std::atomic<bool> cancel_{false}, over_{false};
    Status result_;
    QString output_;
    QTimer timer_;
    QPointer<QDialog> progress_;
    int64_t presetFrom_ = 0, presetTo_ = 0;  // the range the export was started with, if any
    QProgressBar* bar_ = nullptr;
};

}  // namespace mervo
