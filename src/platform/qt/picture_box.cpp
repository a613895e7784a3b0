#include "platform/qt/picture_box.h"

#include <QPainter>

namespace mervo {

PictureBox::PictureBox(QWidget* parent, int widthTwips, int heightTwips)
    : QWidget(parent), surface_(std::make_unique<PictureSurface>(widthTwips, heightTwips, devicePixelRatioF())) {
    resize(px(widthTwips), px(heightTwips));
}

void PictureBox::refresh() {
    setAccessibleName(surface_->shownText());
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    // Shown on a screen with another pixel ratio: draw the picture anew at that ratio, so it stays crisp.
    if (surface_->image().devicePixelRatio() != devicePixelRatioF()) {
        surface_ = std::make_unique<PictureSurface>(surface_->widthTwips(), surface_->heightTwips(), devicePixelRatioF());
        if (onPaint) onPaint();
    }
    QPainter p(this);
    p.drawImage(QPointF(0, 0), surface_->image());
    p.setPen(QColor(160, 160, 160));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace mervo
