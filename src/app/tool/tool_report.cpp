// mervo-tool report FILE -o OUT.pdf [--org T] [--device T] [--date Y,M,D,h,m]: the one-page curve report as
// PDF, after an analysis pass over the measurement that gathers the report's curves as it goes.
#include <QFileInfo>
#include <optional>
#include <thread>

#include "analysis/analysis_pass.h"
#include "app/tool/tool_common.h"
#include "platform/qt_paint/painter_surface.h"
#include "printing/report.h"

namespace mervo::tool {

namespace {
const char kReportUsage[] = "usage: mervo-tool report FILE -o OUT.pdf [--org T] [--device T] [--date Y,M,D,h,m]";
}  // namespace

int runReport(const QString& cmd, Args args) {
    QString file;
    PrintOptions o;
    if (!takeFileAndOptions(cmd, args, &file,
                            [&](const QString& a, bool* missing) { return takePrintOption(a, args, &o, missing); }))
        return kExitUsage;
    if (file.isEmpty() || o.output.isEmpty()) {
        reportError(cmd, QString::fromLatin1(kReportUsage));
        return kExitUsage;
    }
    if (outputIsInput(cmd, o.output, file)) return kExitUsage;
    PrintHeader header;
    if (!printHeaderFrom(cmd, file, o, &header)) return kExitUsage;

    SharedState st;
    AnalysisPass pass(st, nullptr);
    pass.keepEnergySeries(false);  // nothing here queries a record
    pass.allowNoSamples(true);     // a measurement without samples prints its empty charts
    pass.rowsWithClocks(false);    // the curves need no clock or energies
    // Once the pass has the file's axes, its rows draw the curves: the report reads no sample a second time.
    std::optional<ReportCurves> curves;
    pass.onAxes = [&] {
        if (const Result<ReportData> d = readReportData(st)) curves.emplace(*d);
    };
    pass.onRows = [&](const SampleRows& rows) {
        if (curves) curves->add(rows);
    };
    // The page's faces are found while the pass reads the file, on the core the pass leaves idle most of the time.
    std::thread faces(loadPrintFaces);
    const bool passed = runWholePass(cmd, file, st, pass);
    faces.join();
    if (!passed) return kExitFailure;
    return printToPdf(cmd, o.output, QStringLiteral("工况运行曲线"), [&](Surface& page) {
        return printReport(st, page, header, kReportColumnTwips, curves ? &*curves : nullptr);
    });
}

}  // namespace mervo::tool
