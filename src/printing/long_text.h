// The operator's texts and the file's path on paper: where one is longer than the paper leaves room for, it is
// shortened in a way that loses nothing a reader needs, rather than running off the page's edge.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/surface.h"

namespace mervo {

// `path` with its middle replaced by "…" so that it fits `width` twips at the surface's current font; the start
// (the drive or first folders) and the file name stay. The whole path where it fits or `width` is 0.
QString elideMiddle(const Surface& s, const QString& path, double width);

// `text` cut into lines that each fit `width` twips at the current font (the whole text where `width` is 0).
QStringList wrapToWidth(const Surface& s, const QString& text, double width);

// Prints `text` with its top-left corner at (x, y) within `width` twips: at the current font size where it fits,
// else at a smaller one down to three fifths of it, else wrapped at that size. The font size is left as it was
// and the position at the start of the line after the text, one or more lines of the current size further.
void printFitted(Surface& s, double x, double y, const QString& text, double width);

}  // namespace mervo
