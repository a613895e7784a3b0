// mervo-tool recover FILE: finishes a measurement file whose receive was interrupted.
#include <QFileInfo>

#include "measurement/recovery.h"
#include "app/tool/tool_common.h"
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
    const Result<RecoveryReport> recovered = recover(file);
    if (!recovered) {
        reportError(cmd, recovered.message());
        return kExitFailure;
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
