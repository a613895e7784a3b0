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
    // The pass reads the file on a thread of its own while this one, which draws the page, opens the faces the
    // report prints in (宋体 at each of its sizes) and the glyphs of its titles and figures.
    bool passed = false;
    std::thread reading([&] { passed = runWholePass(cmd, file, st, pass); });
    std::vector<FontSpec> faces;
    for (double size : {8.0, 9.0, 10.0, 12.0, 14.0}) faces.push_back(FontSpec{QStringLiteral("宋体"), size, false});
    loadPrintFaces(faces, QStringLiteral("0123456789.-: 工况运行曲线电流电压有功功率因数效率负载累计时间分秒最大值小"));
    reading.join();
    if (!passed) return kExitFailure;
    return printToPdf(cmd, o.output, QStringLiteral("工况运行曲线"), [&](Surface& page) {
        return printReport(st, page, header, kReportColumnTwips, curves ? &*curves : nullptr);
    });
}

}  // namespace mervo::tool
