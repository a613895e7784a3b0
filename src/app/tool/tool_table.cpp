// mervo-tool table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]: the printed
// data table as a PDF, with the print window's defaults.
#include <QFile>
#include <QFileInfo>

#include "measurement/reader.h"
#include "app/tool/tool_common.h"
#include "motor/operating_point.h"
#include "printing/data_table.h"
#include "printing/print_job.h"

namespace mervo::tool {

// Y,M,D,h,m as five whole numbers.
bool parseHeaderDate(const QString& text, PrintHeader* h) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 5) return false;
    int v[5];
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok) return false;
    }
    h->year = v[0], h->month = v[1], h->day = v[2], h->hour = v[3], h->minute = v[4];
    return true;
}

int runTable(const QString& cmd, Args args) {
    QString file, output, from, to, org, device, date;
    bool hasOrg = false, hasDevice = false, missing = false;
    while (!args.atEnd()) {
        const QString a = args.next();
        if (a == QLatin1String("-o")) output = args.value(a, &missing);
        else if (a == QLatin1String("--from")) from = args.value(a, &missing);
        else if (a == QLatin1String("--to")) to = args.value(a, &missing);
        else if (a == QLatin1String("--org")) org = args.value(a, &missing), hasOrg = true;
        else if (a == QLatin1String("--device")) device = args.value(a, &missing), hasDevice = true;
        else if (a == QLatin1String("--date")) date = args.value(a, &missing);
        else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            reportError(cmd, QStringLiteral("unknown option %1").arg(a));
            return kExitUsage;
        } else if (file.isEmpty()) file = a;
        else {
            reportError(cmd, QStringLiteral("usage: mervo-tool table FILE -o OUT.pdf [--from A] [--to B] "
                                            "[--org T] [--device T] [--date Y,M,D,h,m]"));
            return kExitUsage;
        }
        if (missing) return kExitUsage;
    }
    if (file.isEmpty() || output.isEmpty()) {
        reportError(cmd, QStringLiteral("usage: mervo-tool table FILE -o OUT.pdf [--from A] [--to B] [--org T] "
                                        "[--device T] [--date Y,M,D,h,m]"));
        return kExitUsage;
    }

    PrintHeader header = headerForFile(file);
    if (hasOrg) header.organisation = org;
    if (hasDevice) header.device = device;
    if (!date.isEmpty() && !parseHeaderDate(date, &header)) {
        reportError(cmd, QStringLiteral("--date wants Y,M,D,h,m as whole numbers, not \"%1\"").arg(date));
        return kExitUsage;
    }

    SharedState st;
    st.file.WorkFile = QFileInfo(file).absoluteFilePath();
    QString error;
    const int64_t n = tableSampleCount(st.file.WorkFile, &error);
    if (n < 0) {
        reportError(cmd, error);
        return kExitFailure;
    }
    TableRange range;
    if (!parseTableRange(from.isEmpty() ? QStringLiteral("1") : from, to.isEmpty() ? QString::number(n) : to, n,
                         &range, &error)) {
        reportError(cmd, error);
        return kExitFailure;
    }
    {
        MeasurementReader reader;
        if (!reader.open(st.file.WorkFile, &error)) {
            reportError(cmd, error);
            return kExitFailure;
        }
        confirmNameplate(st.motor, reader.info().header.nameplate);
    }

    // Written beside OUT and renamed over it only when complete, so a failure never leaves a partial table.
    const QString partial = output + QStringLiteral(".part");
    bool ok = false;
    {
        PdfDocument pdf(partial, QStringLiteral("数据"));
        if (!pdf.openError().isEmpty()) {
            QFile::remove(partial);
            reportError(cmd, QStringLiteral("%1: cannot be written (%2)").arg(output, pdf.openError()));
            return kExitFailure;
        }
        ok = printDataTable(st, pdf.surface(), header, range, &error);
        QString finishError;
        if (!pdf.finish(&finishError) && ok) {
            ok = false;
            error = finishError;
        }
    }
    if (ok) {
        QFile::remove(output);
        if (!QFile::rename(partial, output)) {
            ok = false;
            error = QStringLiteral("%1: cannot be written").arg(output);
        }
    }
    if (!ok) {
        QFile::remove(partial);
        reportError(cmd, error);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace mervo::tool
