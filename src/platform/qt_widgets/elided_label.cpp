#include "platform/qt_widgets/elided_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace mervo {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize ElidedLabel::sizeHint() const { return minimumSizeHint(); }

QSize ElidedLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
    p.drawText(contentsRect(), static_cast<int>(alignment()), shownText());
}

bool ElidedLabel::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip || !toolTip().isEmpty()) return QLabel::event(e);
    // The whole text where part of it is elided; nothing where all of it shows.
    if (shownText() != text()) QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), text(), this);
    else QToolTip::hideText();
    return true;
}

}  // namespace mervo
