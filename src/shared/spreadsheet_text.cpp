#include "shared/spreadsheet_text.h"

namespace mervo {

QString spreadsheetText(const QString& text) {
    static const QString starts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && starts.contains(text.front())) return QLatin1Char('\'') + text;
    return text;
}

}  // namespace mervo
