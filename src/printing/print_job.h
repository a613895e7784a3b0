// What every printout shares: the header fields of the print window, and a PDF document to draw pages on.
#pragma once

#include <QString>
#include <array>
#include <memory>

#include "platform/surface.h"

class QPdfWriter;

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

// The header date from a file's modification time (the print window's default).
PrintHeader headerForFile(const QString& measurementPath);

// A PDF file of A4 portrait pages drawn through a Surface in twips from the printable area's corner.
class PdfDocument {
public:
    explicit PdfDocument(const QString& path, const QString& title = QString());
    ~PdfDocument();
    Surface& surface();
    // Why the file cannot be created (missing directory, no permission), or empty; checked before drawing so
    // an unwritable path fails at once with its reason.
    const QString& openError() const { return openError_; }
    // Ends the document; false (with the reason) when the file could not be written.
    bool finish(QString* error);

private:
    QString path_, openError_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<Surface> surface_;
};

}  // namespace mervo
