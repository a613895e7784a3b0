// A text the operator typed (a marker, an organisation, a name), safe in a spreadsheet cell: one that would start
// a formula (= + - @, a tab or a carriage return) is led by an apostrophe, which spreadsheets show as text. Every
// typed text written into a CSV goes through it; figures do not (a negative number stays a number).
#pragma once

#include <QString>

namespace mervo {

QString spreadsheetText(const QString& text);

}  // namespace mervo
