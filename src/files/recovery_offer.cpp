#include "files/recovery_offer.h"

#include "measurement/recovery.h"
#include "platform/files.h"
#include "shared/message_titles.h"
#include "shared/number_format.h"

namespace mervo {

QString beingRecordedText(const QString& path) {
    return QStringLiteral("数据文件 %1 正在记录中：另一个 MERVO 窗口或 mervo-tool 正在接收数据。\r\n"
                          "接收结束之前，不能恢复、覆盖或再次接收到该文件。")
        .arg(path);
}

RecoveryOutcome offerRecovery(const QString& path, MessageBoxes& messages, const QString& errorTitle,
                              const QString& lead) {
    const Diagnosis found = diagnose(path);
    if (found.noRecording) {
        messages.show(found.description, errorTitle, MessageButtons::Ok);
        return RecoveryOutcome::Failed;
    }
    if (!found.recoverable()) return RecoveryOutcome::NotNeeded;
    if (WriterLock::heldElsewhere(path)) {
        messages.show(beingRecordedText(path), receiveTitle(), MessageButtons::Ok);
        return RecoveryOutcome::BeingRecorded;
    }
    const QString title = recoveryTitle();
    const QString text = (lead.isEmpty() ? QString() : lead + QStringLiteral("\r\n")) + found.description +
                         QStringLiteral("\r\n是否恢复该文件？");
    if (messages.show(text, title, MessageButtons::YesNo) != MessageAnswer::Yes) return RecoveryOutcome::Declined;
    const Result<RecoveryReport> r = recover(path);
    if (!r) {
        messages.show(QStringLiteral("数据文件恢复失败，原文件未改动。\r\n%1").arg(r.message()), errorTitle,
                      MessageButtons::Ok);
        return RecoveryOutcome::Failed;
    }
    messages.show(QStringLiteral("数据文件已恢复，共 %1 组数据，测量时间 %2 秒。").arg(r->samples).arg(formatCaption(r->duration)),
                  title, MessageButtons::Ok);
    return RecoveryOutcome::Recovered;
}

}  // namespace mervo
