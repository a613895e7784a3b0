// Opening, saving, saving as and closing measurement files: what the file menu does, free of any window.
#pragma once

#include <QString>

#include "measurement/reader.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "shared/result.h"
#include "shared/control_states.h"
#include "shared/shared_state.h"

namespace mervo {

extern const char kMeasurementFilter[];  // "电能综合测试(*.MTQ)"
QString captionForFile(const QString& path);  // "电能综合测试仪[path]"
QString captionClosed();                       // "电能综合测试仪"

// Byte-for-byte copy that replaces the destination only once the copy is complete on disk, with its sidecar (gaps
// and markers). Copying a file onto itself leaves it untouched.
Status copyMeasurementFile(const QString& source, const QString& destination, FileSystem& fs = systemFileSystem());

// What an operation changed in the window: its controls, and the caption when it changed.
struct FileOpResult {
    ControlStates controls;
    QString caption;  // empty: unchanged
    QString summary;  // of an opened file, for the status line
    bool clearPanel = false;
};

// One line about an opened measurement: its samples, duration, start time and nameplate, as
// "2000 组数据　测量 0:01:02　开始 08:00:00　电机 4 极 11 kW" ("无电机参数" without a usable nameplate).
QString measurementSummary(const MeasurementInfo& info);
// A nameplate in a few words: "电机 4 极 11 kW", or "无电机参数" unless all seven values are there.
QString nameplateText(const std::array<float, 7>& nameplate);
// What the next receive will record: "下次接收：编号 123　4 极 11 kW" (catalogue code), "… 自定义　…" (typed in,
// or taken from a file: code 0), or "下次接收：无电机参数".
QString nextReceiveText(const std::array<float, 7>& nameplate, int code);

class MeasurementFiles {
public:
    MeasurementFiles(SharedState& state, FileDialogs& dialogs, MessageBoxes& messages, QString programDir)
        : st_(state), dialogs_(dialogs), messages_(messages), dir_(std::move(programDir)) {}

    FileOpResult open();
    // Open without the dialog: a file dropped on the window or chosen from the recent files. A file that cannot
    // be opened is refused with a message and changes nothing.
    FileOpResult openPath(const QString& path);
    FileOpResult save();
    // Save of the working file's recording under a chosen name, whatever file is open now.
    FileOpResult saveWorkFile();
    FileOpResult saveAs();
    FileOpResult close();

private:
    FileOpResult saveFrom(const QString& source);
    // Copies, makes the copy the current file and sets `after`; on failure says why and changes nothing.
    FileOpResult copyAndTake(const QString& source, const QString& destination, const ControlStates& after);

    SharedState& st_;
    FileDialogs& dialogs_;
    MessageBoxes& messages_;
    QString dir_;
};

}  // namespace mervo
