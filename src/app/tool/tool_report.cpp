// mervo-tool report FILE -o OUT.pdf [--org T] [--device T] [--date Y,M,D,h,m]: the one-page curve report as
// PDF, after an analysis pass over the measurement.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "analysis/analysis_pass.h"
#include "app/tool/tool_common.h"
#include "printing/print_job.h"
#include "printing/report.h"

namespace mervo::tool {

namespace {

const char kReportUsage[] = "usage: mervo-tool report FILE -o OUT.pdf [--org T] [--device T] [--date Y,M,D,h,m]";

bool parseDate(const QString& text, PrintHeader* h) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 5) return false;
    int v[5];
    for (int j = 0; j < 5; ++j) {
        bool ok = false;
        v[j] = parts[j].trimmed().toInt(&ok);
        if (!ok) return false;
    }
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] < 0 || v[3] > 23 || v[4] < 0 || v[4] > 59)
        return false;
    h->year = v[0], h->month = v[1], h->day = v[2], h->hour = v[3], h->minute = v[4];
    return true;
}

}  // namespace

int runReport(const QString& cmd, Args args) {
    QString file, output, org, device, date;
    bool hasOrg = false, hasDevice = false, missing = false;
    while (!args.atEnd()) {
        const QString a = args.next();
        if (a == QLatin1String("-o")) {
            output = args.value(a, &missing);
        } else if (a == QLatin1String("--org")) {
            org = args.value(a, &missing);
            hasOrg = true;
        } else if (a == QLatin1String("--device")) {
            device = args.value(a, &missing);
            hasDevice = true;
        } else if (a == QLatin1String("--date")) {
            date = args.value(a, &missing);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            reportError(cmd, QStringLiteral("unknown option %1").arg(a));
            return kExitUsage;
        } else if (file.isEmpty()) {
            file = a;
        } else {
            reportError(cmd, QStringLiteral("one file at a time"));
            return kExitUsage;
        }
        if (missing) return kExitUsage;
    }
    if (file.isEmpty() || output.isEmpty()) {
        reportError(cmd, QString::fromLatin1(kReportUsage));
        return kExitUsage;
    }
    if (QFileInfo(output).exists() &&
        QFileInfo(output).canonicalFilePath() == QFileInfo(file).canonicalFilePath()) {
        reportError(cmd, QStringLiteral("%1: the output would replace the measurement itself").arg(output));
        return kExitUsage;
    }
    PrintHeader header = headerForFile(file);
    if (hasOrg) header.organisation = org;
    if (hasDevice) header.device = device;
    if (!date.isEmpty() && !parseDate(date, &header)) {
        reportError(cmd, QStringLiteral("--date wants Y,M,D,h,m, e.g. 2024,3,15,9,30"));
        return kExitUsage;
    }

    SharedState st;
    AnalysisPass pass(st, nullptr);
    if (!runWholePass(cmd, file, st, pass)) return kExitFailure;

    // Drawn into a file beside OUT and renamed when complete, so a failure leaves no half-drawn report and
    // does not destroy an older one.
    const QString part = QStringLiteral("%1.%2.part").arg(output).arg(QCoreApplication::applicationPid());
    QString error;
    bool ok;
    {
        PdfDocument doc(part, QStringLiteral("工况运行曲线"));
        if (!doc.openError().isEmpty()) {
            QFile::remove(part);
            reportError(cmd, QStringLiteral("%1: cannot be written (%2)").arg(output, doc.openError()));
            return kExitFailure;
        }
        ok = printReport(st, doc.surface(), header, &error) && doc.finish(&error);
    }
    if (ok) {
        QFile::remove(output);
        if (!QFile::rename(part, output)) {
            error = QStringLiteral("%1: cannot be written").arg(output);
            ok = false;
        }
    }
    if (!ok) {
        QFile::remove(part);
        reportError(cmd, error.isEmpty() ? QStringLiteral("%1: cannot be written").arg(output) : error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace mervo::tool
