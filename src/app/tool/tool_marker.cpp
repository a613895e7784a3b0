// mervo-tool marker FILE (--at N --text T | --delete N): a marker of a measurement set or removed after its
// recording, in the sidecar beside it; prints the new info.
#include "app/tool/tool_common.h"
#include "measurement/marker_edit.h"

namespace mervo::tool {

int runMarker(const QString& cmd, Args args) {
    QString file, at, text, del;
    bool hasText = false;
    const auto option = [&](const QString& a, bool* missing) {
        if (a == QLatin1String("--at")) at = args.value(a, missing);
        else if (a == QLatin1String("--text")) text = args.value(a, missing), hasText = true;
        else if (a == QLatin1String("--delete")) del = args.value(a, missing);
        else return false;
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    const bool adding = !at.isEmpty() && hasText && del.isEmpty();
    if (file.isEmpty() || (!adding && (del.isEmpty() || !at.isEmpty() || hasText))) {
        reportError(cmd, QStringLiteral("usage: mervo-tool marker FILE (--at N --text T | --delete N)"));
        return kExitUsage;
    }
    // A sample number as every command counts them, from 1; one outside the file is refused with its range.
    bool ok = false;
    const QString& number = adding ? at : del;
    const qlonglong sample = number.toLongLong(&ok);
    if (!ok) {
        reportError(cmd, QStringLiteral("%1 needs a sample number, not \"%2\"").arg(adding ? "--at" : "--delete", number));
        return kExitUsage;
    }
    if (Status s = adding ? setMarkerInFile(file, Marker{sample, text}) : deleteMarkerInFile(file, sample); !s) {
        reportError(cmd, s.message());
        return kExitFailure;
    }
    return printInfo(cmd, file);
}

}  // namespace mervo::tool
