#include "platform/qt_widgets/picture_box.h"

#include <QPainter>
#include <algorithm>

namespace mervo {

namespace {
constexpr int kFrameTwips = PictureBox::kFramePx * kTwipsPerPixel;
}

PictureBox::PictureBox(QWidget* parent, int widthTwips, int heightTwips)
    : QWidget(parent),
      surface_(std::make_unique<PictureSurface>(std::max(kTwipsPerPixel, widthTwips - 2 * kFrameTwips),
                                                std::max(kTwipsPerPixel, heightTwips - 2 * kFrameTwips),
                                                devicePixelRatioF())) {
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
    p.drawImage(QPointF(kFramePx, kFramePx), surface_->image());
    // A sunken edge around the drawing: dark above and left, light below and right.
    const QRect outer = rect().adjusted(0, 0, -1, -1), inner = outer.adjusted(1, 1, -1, -1);
    const auto ring = [&p](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
        p.setPen(topLeft);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    };
    ring(outer, QColor(128, 128, 128), QColor(255, 255, 255));
    ring(inner, QColor(64, 64, 64), QColor(212, 208, 200));
}

}  // namespace mervo
