#include "printing/print_job.h"

#include <QDateTime>
#include <QFileInfo>

namespace mervo {

PrintHeader headerForFile(const QString& measurementPath) {
    PrintHeader h;
    const QDateTime t = QFileInfo(measurementPath).lastModified();
    if (t.isValid()) {
        h.year = t.date().year();
        h.month = t.date().month();
        h.day = t.date().day();
        h.hour = t.time().hour();
        h.minute = t.time().minute();
    }
    return h;
}

Status printDocument(PrintOutput& out, const std::function<Status(Surface&)>& draw) {
    if (Status s = draw(out.surface()); !s) {
        out.abandon();
        return s;
    }
    return out.finish();
}

}  // namespace mervo
