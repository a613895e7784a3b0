// mervo-tool table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]: the printed
// data table as a PDF, with the print window's defaults.
#include <QFileInfo>

#include "app/tool/tool_common.h"
#include "measurement/reader.h"
#include "motor/operating_point.h"
#include "printing/data_table.h"

namespace mervo::tool {

namespace {
const char kTableUsage[] =
    "usage: mervo-tool table FILE -o OUT.pdf [--from A] [--to B] [--org T] [--device T] [--date Y,M,D,h,m]";
}  // namespace

int runTable(const QString& cmd, Args args) {
    QString file, from, to;
    PrintOptions o;
    const auto option = [&](const QString& a, bool* missing) {
        if (a == QLatin1String("--from")) from = args.value(a, missing);
        else if (a == QLatin1String("--to")) to = args.value(a, missing);
        else return takePrintOption(a, args, &o, missing);
        return true;
    };
    if (!takeFileAndOptions(cmd, args, &file, option)) return kExitUsage;
    if (file.isEmpty() || o.output.isEmpty()) {
        reportError(cmd, QString::fromLatin1(kTableUsage));
        return kExitUsage;
    }
    if (outputIsInput(cmd, o.output, file)) return kExitUsage;
    PrintHeader header;
    if (!printHeaderFrom(cmd, file, o, &header)) return kExitUsage;

    SharedState st;
    st.file.WorkFile = QFileInfo(file).absoluteFilePath();
    const Result<int64_t> n = tableSampleCount(st.file.WorkFile);
    if (!n) {
        reportError(cmd, n.message());
        return kExitFailure;
    }
    const Result<TableRange> range = parseTableRange(from.isEmpty() ? QStringLiteral("1") : from,
                                                     to.isEmpty() ? QString::number(*n) : to, *n);
    if (!range) {
        reportError(cmd, range.message());
        return kExitFailure;
    }
    {
        MeasurementReader reader;
        if (Status s = reader.open(st.file.WorkFile); !s) {
            reportError(cmd, s.message());
            return kExitFailure;
        }
        confirmNameplate(st.motor, reader.info().header.nameplate);
    }
    return printToPdf(cmd, o.output, QStringLiteral("数据"),
                      [&](Surface& page) { return printDataTable(st, page, header, *range); });
}

}  // namespace mervo::tool
