#include "files/measurement_files.h"

#include "files/side_settings.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <vector>

#include "measurement/reader.h"
#include "measurement/sidecar.h"
#include "motor/nameplate_entry.h"
#include "files/recovery_offer.h"
#include "platform/file_replacement.h"
#include "files/settings_file.h"
#include "platform/program_dir.h"
#include "shared/message_titles.h"

namespace mervo {

const char kMeasurementFilter[] = "电能综合测试(*.MTQ)";

namespace {


FileDialogRequest request(FileDialogRequest::Kind kind, const char* title) {
    FileDialogRequest r;
    r.kind = kind;
    r.title = QString::fromUtf8(title);
    r.defaultSuffix = QStringLiteral("MTQ");
    r.filter = QString::fromUtf8(kMeasurementFilter);
    r.mustExist = kind == FileDialogRequest::Kind::Open;
    r.confirmOverwrite = kind == FileDialogRequest::Kind::Save;
    return r;
}

}  // namespace

QString captionForFile(const QString& path) { return QStringLiteral("电能综合测试仪[%1]").arg(path); }
QString captionClosed() { return QStringLiteral("电能综合测试仪"); }

QString measurementSummary(const MeasurementInfo& info) {
    const auto clock = [](double seconds, bool hoursPadded) {
        const auto t = static_cast<long long>(std::llround(std::max(0.0, seconds)));
        return QStringLiteral("%1:%2:%3")
            .arg(t / 3600, hoursPadded ? 2 : 1, 10, QLatin1Char('0'))
            .arg(t / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(t % 60, 2, 10, QLatin1Char('0'));
    };
    const FileHeader& h = info.header;
    return QStringLiteral("%1 组数据　测量 %2　开始 %3　%4")
        .arg(info.wholeSamples)
        .arg(clock(h.TotalTime, false), clock(std::fmod(static_cast<double>(h.StartTime), 86400.0), true),
             nameplateText(h.nameplate));
}

namespace {
bool complete(const std::array<float, 7>& v) {
    return std::all_of(v.begin(), v.end(), [](float x) { return x != 0; });
}
}  // namespace

QString nameplateText(const std::array<float, 7>& v) {
    return complete(v) ? QStringLiteral("电机 %1 极 %2 kW").arg(nameplateValueText(v[0]), nameplateValueText(v[1]))
                       : QStringLiteral("无电机参数");
}

QString nextReceiveText(const std::array<float, 7>& v, int code) {
    if (!complete(v)) return QStringLiteral("下次接收：无电机参数");
    return QStringLiteral("下次接收：%1　%2 极 %3 kW")
        .arg(code > 0 ? QStringLiteral("编号 %1").arg(code) : QStringLiteral("自定义"), nameplateValueText(v[0]),
             nameplateValueText(v[1]));
}

Status copyMeasurementFile(const QString& source, const QString& destination, FileSystem& fs) {
    const QFileInfo src(source), dst(destination);
    if (!src.exists() || !src.isFile()) return Status::failure(QStringLiteral("%1: 文件不存在").arg(source));
    if (sameFile(source, destination)) return {};
    // Neither a file being recorded nor one being replaced by a receive's copy: both hold the writer lock.
    Result<WriterLock> sourceFree = WriterLock::take(source);
    if (!sourceFree) return sourceFree.status();
    Result<WriterLock> destinationFree = WriterLock::take(destination);
    if (!destinationFree) return destinationFree.status();
    // The gaps and markers beside the measurement go with it; those of a file it replaces do not stay.
    if (Status s = copyReplacing(source, destination, fs); !s) return s;
    return carrySidecar(source, destination, fs);
}

FileOpResult MeasurementFiles::copyAndTake(const QString& source, const QString& destination,
                                           const ControlStates& after) {
    FileOpResult r;
    if (Status s = copyMeasurementFile(source, destination); !s) {
        messages_.show(QStringLiteral("文件保存失败！\r\n%1").arg(s.message()), operationErrorTitle(), MessageButtons::Ok);
        return r;
    }
    // The recording of the working file is safe under a name of its own now.
    const QFileInfo work(workFilePath(dir_));
    if (QFileInfo(source) == work && QFileInfo(destination) != work) setWorkFileUnsaved(dir_, false);
    st_.file.WorkFile = destination;
    r.caption = captionForFile(destination);
    r.controls = after;
    return r;
}

FileOpResult MeasurementFiles::open() {
    FileOpResult r;
    const auto chosen = dialogs_.choose(request(FileDialogRequest::Kind::Open, "打开"));
    if (!chosen || chosen->isEmpty()) {
        // A cancelled Open leaves the working file chosen, and the title says so.
        if (!chosen) {
            st_.file.WorkFile.clear();
            r.caption = captionClosed();
        }
        return r;
    }
    return openPath(*chosen);
}

FileOpResult MeasurementFiles::openPath(const QString& path) {
    FileOpResult r;
    // What killed writers left beside the measurement goes before anything is read or written there.
    sweepOrphanTemporaries(QFileInfo(path).absolutePath());
    // No is fine too: an interrupted file still opens and the analysis works from its samples.
    offerRecovery(path, messages_, operationErrorTitle());
    MeasurementReader reader;
    if (Status opened = reader.open(path); !opened) {
        // A file that cannot be read or is too short to hold a header: say so rather than fail silently, and
        // keep the measurement in hand as it was.
        messages_.show(QStringLiteral("无法打开测量数据文件！\r\n%1").arg(opened.message()), operationErrorTitle(), MessageButtons::Ok);
        return r;
    }
    st_.file.WorkFile = path;
    r.caption = captionForFile(path);
    r.summary = measurementSummary(reader.info());
    r.controls = states::fileOpened();
    // The readings of a receive before belong to no file in hand: the panel starts empty, and a repaint draws
    // nothing of them again.
    r.clearPanel = true;
    st_.live.LiveValues.fill(0);
    st_.file.ElapsedTime = 0;

    const FileHeader& h = reader.info().header;
    st_.motor.setNameplate(h.nameplate);
    st_.settings.RedOn = h.channels[0];
    st_.settings.BlueOn = h.channels[1];
    st_.settings.YellowOn = h.channels[2];
    st_.settings.recomputeWiringCode();

    // The opened measurement's channel flags become the stored settings; the first six lines stay as stored.
    const QString settingsPath = settingsFilePath(dir_);
    SettingsValues stored;
    float totalTime = 0;
    readSettingsFile(settingsPath, stored, totalTime);
    st_.settings.CommPortNo = stored.CommPortNo;
    st_.settings.CurveKind = stored.CurveKind;
    st_.settings.TotalTimeSetting = stored.TotalTimeSetting;
    st_.file.TotalTime = totalTime;
    st_.settings.CTRatio = stored.CTRatio;
    st_.settings.PTRatio = stored.PTRatio;
    st_.settings.SegmentCount = stored.SegmentCount;
    if (Status s = writeSettingsFile(settingsPath, st_.settings); !s)
        messages_.show(QStringLiteral("设置文件写入失败！\r\n%1").arg(s.message()), operationErrorTitle(), MessageButtons::Ok);
    return r;
}

FileOpResult MeasurementFiles::save() {
    // No file chosen (a cancelled Open): the measurement is in the working file.
    return saveFrom(st_.file.WorkFile.isEmpty() ? workFilePath(dir_) : st_.file.WorkFile);
}

FileOpResult MeasurementFiles::saveWorkFile() { return saveFrom(workFilePath(dir_)); }

FileOpResult MeasurementFiles::saveFrom(const QString& source) {
    FileOpResult r;
    const auto chosen = dialogs_.choose(request(FileDialogRequest::Kind::Save, "保存"));
    // Cancel keeps the current file, so the measurement can still be saved later.
    if (!chosen || chosen->isEmpty()) return r;
    if (!QFileInfo(source).isFile()) {
        messages_.show(QStringLiteral("请先按[接收数据]按钮，或先打开一个文件。"), operationErrorTitle(), MessageButtons::Ok);
        return r;
    }
    return copyAndTake(source, *chosen, states::fileSaved());
}

FileOpResult MeasurementFiles::saveAs() {
    FileOpResult r;
    if (st_.file.WorkFile.isEmpty()) {
        messages_.show(QStringLiteral("请[打开]一个文件。"), operationErrorTitle(), MessageButtons::Ok);
        return r;
    }
    const auto chosen = dialogs_.choose(request(FileDialogRequest::Kind::Save, "另存为"));
    if (!chosen || chosen->isEmpty()) return r;
    return copyAndTake(st_.file.WorkFile, *chosen, states::fileSavedAs());
}

FileOpResult MeasurementFiles::close() {
    FileOpResult r;
    st_.file.WorkFile = workFilePath(dir_);
    r.caption = captionClosed();
    r.clearPanel = true;
    r.controls = states::fileClosed();
    st_.file.TotalTime = st_.settings.TotalTimeSetting;
    return r;
}

}  // namespace mervo
