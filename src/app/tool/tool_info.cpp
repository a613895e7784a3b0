// mervo-tool info FILE: what a measurement file holds, as JSON.
#include <QFileInfo>
#include <QLocale>

#include "measurement/reader.h"
#include "measurement/sidecar.h"
#include "app/tool/tool_common.h"
#include "platform/file_replacement.h"
#include "platform/files.h"
#include "shared/json_writer.h"

namespace mervo::tool {

bool takeFileAndOptions(const QString& cmd, Args& args, QString* file,
                        const std::function<bool(const QString& option, bool* missing)>& option) {
    file->clear();
    while (!args.atEnd()) {
        const QString a = args.next();
        bool missing = false;
        if (option && option(a, &missing)) {
            if (missing) return false;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            reportError(cmd, QStringLiteral("unknown option %1").arg(a));
            return false;
        } else if (!file->isEmpty()) {
            reportError(cmd, QStringLiteral("one file at a time"));
            return false;
        } else {
            *file = a;
        }
    }
    // What killed writers left beside the measurement goes before the command reads or writes there.
    if (!file->isEmpty()) sweepOrphanTemporaries(QFileInfo(*file).absolutePath());
    return true;
}

bool outputIsInput(const QString& cmd, const QString& output, const QString& input) {
    if (!sameFile(output, input)) return false;
    reportError(cmd, QStringLiteral("%1: the output would replace the measurement itself").arg(output));
    return true;
}

bool takeSingleFile(const QString& cmd, Args& args, QString* file) {
    if (!takeFileAndOptions(cmd, args, file, {})) return false;
    if (file->isEmpty()) {
        reportError(cmd, QStringLiteral("which file? usage: mervo-tool %1 FILE").arg(cmd));
        return false;
    }
    return true;
}

int runInfo(const QString& cmd, Args args) {
    QString file;
    if (!takeSingleFile(cmd, args, &file)) return kExitUsage;
    return printInfo(cmd, file);
}

int printInfo(const QString& cmd, const QString& file) {
    MeasurementReader reader;
    if (Status s = reader.open(file); !s) {
        reportError(cmd, s.message());
        return kExitFailure;
    }
    const MeasurementInfo& in = reader.info();
    const FileHeader& h = in.header;
    JsonObject j;
    j.str("file", QFileInfo(file).absoluteFilePath())
        .integer("bytes", in.bytes)
        .integer("samples", in.wholeSamples)
        .boolean("complete", in.complete)
        .num("start_time", h.StartTime)
        .num("total_time", h.TotalTime)
        .floats("nameplate", h.nameplate)
        .boolean("motor_data_valid", h.motorDataValid())
        .raw("channels", "[" + std::to_string(h.channels[0]) + "," + std::to_string(h.channels[1]) + "," +
                             std::to_string(h.channels[2]) + "]")
        .integer("wiring_code", h.wiringCode());
    if (in.maxima) {
        j.floats("maxima", *in.maxima).floats("minima", *in.minima);
    } else {
        j.nul("maxima").nul("minima");
    }
    // What the sidecar holds; one that cannot be used is said, and its lists are null.
    const Result<Sidecar> side = readSidecar(file, h.StartTime);
    if (side) {
        std::string gaps, markers;
        for (const ReceiveGap& g : side->gaps.list()) {
            const QString seconds = QString::number(g.seconds, 'g', QLocale::FloatingPointShortest);
            gaps += (gaps.empty() ? "" : ",") +
                    JsonObject().integer("after_sample", g.afterSample).raw("seconds", seconds.toStdString()).text();
        }
        for (const Marker& m : side->markers)
            markers += (markers.empty() ? "" : ",") + JsonObject().integer("sample", m.sample).str("text", m.text).text();
        j.raw("gaps", "[" + gaps + "]").raw("markers", "[" + markers + "]");
    } else {
        reportError(cmd, side.message());
        j.nul("gaps").nul("markers");
    }
    return printLine(j.text()) ? kExitOk : kExitFailure;
}

}  // namespace mervo::tool
