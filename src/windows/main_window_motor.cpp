// The main window and the motor nameplate: which one the next receive records, writing a confirmed one into the
// measurement in hand, saying when a file's nameplate takes the place of the confirmed one, and keeping the
// confirmed one for the next start.
#include <QLabel>

#include "files/measurement_files.h"
#include "files/side_settings.h"
#include "measurement/nameplate_rewrite.h"
#include "measurement/reader.h"
#include "motor/operating_point.h"
#include "shared/message_titles.h"
#include "windows/main_window.h"

namespace mervo {

void MainWindow::showNextNameplate() {
    const std::array<float, 7> v = st_.motor.nameplate();
    nextNameplate->setText(nextReceiveText(v, confirmed_ && *confirmed_ == v ? confirmedCode_ : 0));
}

void MainWindow::setConfirmed(const std::optional<std::array<float, 7>>& nameplate, int code) {
    confirmed_ = nameplate;
    confirmedCode_ = code;
    rememberConfirmedNameplate(dir_, nameplate ? std::optional<ConfirmedNameplate>({*nameplate, code}) : std::nullopt);
}

void MainWindow::takeKeptNameplate() {
    // The nameplate confirmed before the program last ended is still the one the next receive records.
    if (const std::optional<ConfirmedNameplate> kept = confirmedNameplate(dir_)) {
        confirmNameplate(st_.motor, kept->values);
        confirmed_ = kept->values;
        confirmedCode_ = kept->code;
    }
    showNextNameplate();
}

void MainWindow::nameplateChanged(std::optional<int> code) {
    if (code) setConfirmed(st_.motor.nameplate(), *code);
    else setConfirmed(std::nullopt, 0);
    showNextNameplate();
    // A measurement in hand may have been recorded without this motor: offered, it goes into the file.
    const QString file = st_.file.WorkFile;
    if (!code || !mnuCLOSE->isEnabled() || file.isEmpty() || session_.running()) return;
    MeasurementReader reader;
    if (!reader.open(file) || reader.info().header.nameplate == *confirmed_) return;
    reader.close();
    if (messages_.show(QStringLiteral("是否将电机参数（%1）写入测量数据文件 %2？\r\n文件中原有的电机参数（%3）将被替换，"
                                      "以后的分析按新的参数计算。")
                           .arg(nameplateText(*confirmed_), file, nameplateText(reader.info().header.nameplate)),
                       analysisTitle(), MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    if (Status s = writeNameplate(file, *confirmed_); !s) {
        messages_.show(QStringLiteral("电机参数写入失败！\r\n%1").arg(s.message()), errorTitle(), MessageButtons::Ok);
        return;
    }
    if (reader.open(file)) receiveStatus->setText(measurementSummary(reader.info()));
}

void MainWindow::sayIfNameplateReplaced(const QString& by) {
    const std::array<float, 7> now = st_.motor.nameplate();
    if (!confirmed_ || *confirmed_ == now) return;
    messages_.show(QStringLiteral("%1使用文件中的电机参数（%2），在“设置→电机参数”中确认的电机参数（%3）不再使用。")
                       .arg(by, nameplateText(now), nameplateText(*confirmed_)),
                   analysisTitle(), MessageButtons::Ok);
    setConfirmed(std::nullopt, 0);  // said once
    showNextNameplate();
}

}  // namespace mervo
