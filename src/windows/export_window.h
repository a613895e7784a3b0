// 导出数据(CSV): what to export (every sample, an interval's mean/min/max, a range, the spreadsheet form), then
// the export itself on a thread of its own behind a progress window that can cancel it.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "platform/dialogs.h"
#include "printing/csv_export.h"

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
    ExportDialog(int64_t samples, QWidget* parent = nullptr);
    CsvExportOptions options() const;

    QRadioButton *everySample, *perInterval;
    QComboBox* interval;
    QCheckBox* range;
    QSpinBox *from, *to;
    QCheckBox* spreadsheet;
};

class CsvExporter : public QObject {
    Q_OBJECT
public:
    CsvExporter(FileDialogs& dialogs, MessageBoxes& messages, QWidget* parent);
    ~CsvExporter() override;

    // Asks what to export and where, then exports `measurement` in the background, its dialogs over `window`
    // (the parent when null). One export at a time.
    void start(const QString& measurement, QWidget* window = nullptr);
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
    QWidget* parent_;
    std::thread worker_;
    std::atomic<int64_t> done_{0}, total_{0};
    std::atomic<bool> cancel_{false}, over_{false};
    Status result_;
    QString output_;
    QTimer timer_;
    QPointer<QDialog> progress_;
    QProgressBar* bar_ = nullptr;
};

}  // namespace mervo
