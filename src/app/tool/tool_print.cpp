// What the printing commands share: the header options and printing one document into a PDF file through the
// same print job as the print window.
#include <QFileInfo>

#include "app/tool/tool_common.h"
#include "platform/qt_paint/pdf_output.h"
#include "shared/text_parse.h"

namespace mervo::tool {

bool takePrintOption(const QString& a, Args& args, PrintOptions* o, bool* missing) {
    if (a == QLatin1String("-o")) {
        o->output = args.value(a, missing);
    } else if (a == QLatin1String("--org")) {
        o->org = args.value(a, missing);
        o->hasOrg = true;
    } else if (a == QLatin1String("--device")) {
        o->device = args.value(a, missing);
        o->hasDevice = true;
    } else if (a == QLatin1String("--date")) {
        o->date = args.value(a, missing);
    } else {
        return false;
    }
    return true;
}

bool printHeaderFrom(const QString& cmd, const QString& file, const PrintOptions& o, PrintHeader* header) {
    *header = headerForFile(file);
    if (o.hasOrg) header->organisation = o.org;
    if (o.hasDevice) header->device = o.device;
    if (o.date.isEmpty()) return true;
    const std::optional<DateFields> d = dateFromText(o.date);
    if (!d) {
        reportError(cmd, QStringLiteral("--date wants Y,M,D,h,m, e.g. 2024,3,15,9,30, not \"%1\"").arg(o.date));
        return false;
    }
    header->year = d->year, header->month = d->month, header->day = d->day;
    header->hour = d->hour, header->minute = d->minute;
    return true;
}

int printToPdf(const QString& cmd, const QString& output, const QString& title,
               const std::function<Status(Surface&)>& draw) {
    auto pdf = PdfOutput::open(output, title);
    if (!pdf) {
        reportError(cmd, QStringLiteral("%1: cannot be written (%2)").arg(output, pdf.reason()));
        return kExitFailure;
    }
    if (Status s = printDocument(**pdf, draw); !s) {
        // A stopped printout leaves nothing behind; the message says so in the tool's words.
        reportError(cmd, printCancelled(s) ? QStringLiteral("stopped; %1 was not written").arg(output) : s.message());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace mervo::tool
