#include "printing/long_text.h"

#include <algorithm>
#include <cmath>

namespace mervo {

QString elideMiddle(const Surface& s, const QString& path, double width) {
    if (width <= 0 || s.textWidth(path) <= width) return path;
    const QString dots = QStringLiteral("…");
    // As much of the file name end as fits with the start, the end first: the name tells the file.
    int keep = static_cast<int>(path.size()) - 1;
    for (; keep > 0; --keep) {
        const int head = keep / 3, tail = keep - head;
        const QString t = path.left(head) + dots + path.right(tail);
        if (s.textWidth(t) <= width) return t;
    }
    return dots;
}

QStringList wrapToWidth(const Surface& s, const QString& text, double width) {
    if (width <= 0 || s.textWidth(text) <= width) return {text};
    QStringList lines;
    QString line;
    for (const QChar c : text) {
        if (!line.isEmpty() && s.textWidth(line + c) > width) {
            lines << line;
            line.clear();
        }
        line += c;
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

void printFitted(Surface& s, double x, double y, const QString& text, double width) {
    const double size = s.font().size, step = s.lineHeight();
    if (width > 0 && s.textWidth(text) > width) {
        // Half a point at a time, down to three fifths of the size.
        for (double smaller = size - 0.5; smaller >= size * 0.6 - 1e-9; smaller -= 0.5) {
            s.setFontSize(smaller);
            if (s.textWidth(text) <= width) break;
        }
    }
    double at = y;
    const QStringList lines = wrapToWidth(s, text, width);
    for (const QString& line : lines) {
        s.setPosition(x, at);
        s.printText(line);
        at += lines.size() == 1 ? step : s.lineHeight();
    }
    s.setFontSize(size);
    s.setPosition(0, std::max(at, y + step));
}

}  // namespace mervo
