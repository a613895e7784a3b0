// mervo-tool recover FILE: finishes a measurement file whose receive was interrupted.
#include <QFileInfo>

#include "measurement/recovery.h"
#include "app/tool/tool_common.h"
#include "platform/stop_signals.h"
#include "shared/json_writer.h"

namespace mervo::tool {

namespace {

const char* conditionName(FileCondition c) {
    switch (c) {
        case FileCondition::Complete: return "complete";
        case FileCondition::MissingTrailer: return "missing_trailer";
        case FileCondition::PartialSample: return "partial_sample";
        case FileCondition::TooShort: return "too_short";
        case FileCondition::NotMeasurement: return "not_measurement";
        case FileCondition::Unreadable: return "unreadable";
    }
    return "unreadable";
}

}  // namespace

int runRecover(const QString& cmd, Args args) {
    QString file;
    if (!takeSingleFile(cmd, args, &file)) return kExitUsage;
    // Ctrl-C or a kill stops the copy between chunks: its partial file is removed and the command ends as the
    // signal would have ended it.
    StopSignals stop;
    if (!stop.install()) {
        reportError(cmd, QStringLiteral("cannot install the stop signal handlers"));
        return kExitFailure;
    }
    const Result<RecoveryReport> recovered = recover(file, systemFileSystem(), [&] { return stop.takeRequest(); });
    if (!recovered) {
        reportError(cmd, recovered.message());
        return stop.caught() != 0 ? 128 + stop.caught() : kExitFailure;
    }
    const RecoveryReport& r = *recovered;
    JsonObject j;
    j.str("file", QFileInfo(file).absoluteFilePath())
        .str("found", QString::fromLatin1(conditionName(r.found.condition)))
        .integer("samples", r.samples)
        .integer("dropped_bytes", r.droppedBytes)
        .num("total_time", r.duration)
        .boolean("recovered", r.recovered);
    if (r.recovered) j.floats("maxima", r.maxima).floats("minima", r.minima);
    return printLine(j.text()) ? kExitOk : kExitFailure;
}

}  // namespace mervo::tool
