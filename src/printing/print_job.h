// What every printout shares: the header fields of the print window, and the one way a document is printed,
// from the window and from the command line alike.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "platform/printer.h"
#include "platform/surface.h"
#include "shared/result.h"

namespace mervo {

// The print window's fields: organisation, device number and test date and time.
struct PrintHeader {
    QString organisation = QStringLiteral("×××公司");
    QString device = QStringLiteral("设001-001");
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0;
    // Year, month, day, hour and minute as typed in the window, printed unchanged even when they are not
    // numbers; an empty one prints the number above.
    std::array<QString, 5> typedDate;

    QString dateText(int i) const {
        if (i >= 0 && i < 5 && !typedDate[static_cast<size_t>(i)].isEmpty())
            return typedDate[static_cast<size_t>(i)];
        const int v[5] = {year, month, day, hour, minute};
        return (i >= 0 && i < 5) ? QString::number(v[i]) : QString();
    }
};

// Told after each finished page how many of how many pages are done; false stops the printing, which then
// fails as cancelled (see printCancelled) and the document is abandoned. Never called for the report's one page.
using PrintProgress = std::function<bool(int64_t pagesDone, int64_t pageTotal)>;

// A printout stopped because its progress callback said so: the operator's choice, not a fault.
Status printCancelledStatus(int64_t pagesDone, int64_t pageTotal);
bool printCancelled(const Status& s);

// The header date from a file's modification time (the print window's default).
PrintHeader headerForFile(const QString& measurementPath);

// Prints one document: draws it on the output, then ends it. A drawing that fails abandons the document, so
// nothing half-drawn reaches the paper or the file.
Status printDocument(PrintOutput& out, const std::function<Status(Surface&)>& draw);

}  // namespace mervo
