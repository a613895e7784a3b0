#include "platform/surface.h"

#include "shared/number_format.h"

namespace mervo {

void Surface::clear() {
    doClear(back_);
    x_ = y_ = 0;
}

void Surface::line(double x1, double y1, double x2, double y2) { line(x1, y1, x2, y2, fore_); }

void Surface::line(double x1, double y1, double x2, double y2, Colour c) {
    if (drawMode_ == DrawMode::Normal) doLine(x1, y1, x2, y2, pen(c));
    x_ = x2;
    y_ = y2;
}

void Surface::box(double x1, double y1, double x2, double y2) {
    if (drawMode_ == DrawMode::Normal) doBox(x1, y1, x2, y2, pen(fore_));
    x_ = x2;
    y_ = y2;
}

void Surface::print(const std::vector<PrintItem>& items, bool continues) {
    // The position after a text is measured only when something depends on it: an item that follows it
    // directly, a column the text may reach past, or a statement that continues after it. A table row, whose
    // every text is followed by a column it stays well short of, needs no measuring at all.
    QString pending;
    double pendingX = 0;
    bool hasPending = false;
    const auto measurePending = [&] {
        if (hasPending) x_ = pendingX + textWidth(pending);
        hasPending = false;
    };
    for (const PrintItem& item : items) {
        if (item.kind == PrintItem::Kind::Column) {
            const double target = (item.column - 1) * averageCharWidth();
            // Short of the column for sure: the position does not matter, as the column sets it.
            if (hasPending && pendingX + textWidthBound(pending) <= target) hasPending = false;
            measurePending();
            // A line that already reaches past the column continues at that column of the next line.
            if (x_ > target) y_ += lineHeight();
            x_ = target;
            continue;
        }
        measurePending();
        const QString text = item.kind == PrintItem::Kind::Number ? formatPrintNumber(item.number) : item.text;
        doText(x_, y_, text, fore_);
        pending = text;
        pendingX = x_;
        hasPending = true;
    }
    if (!continues) {
        x_ = 0;
        y_ += lineHeight();
    } else {
        measurePending();
    }
}

}  // namespace mervo
