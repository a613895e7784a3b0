#include "printing/print_job.h"

#include <QDateTime>
#include <QFileInfo>

namespace mervo {

namespace {
// The code of a cancelled printout; the error numbers the receive names are all positive.
constexpr int kCancelledCode = -1;
}  // namespace

Status printCancelledStatus(int64_t pagesDone, int64_t pageTotal) {
    return Status::failure(QStringLiteral("打印已取消（共 %1 页，已完成 %2 页）").arg(pageTotal).arg(pagesDone), QString(),
                           kCancelledCode);
}

bool printCancelled(const Status& s) { return !s && s.code() == kCancelledCode; }

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
