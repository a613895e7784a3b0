#include "platform/qt_widgets/twips_widgets.h"

#include <QWidget>

#include "platform/qt_paint/painter_surface.h"
#include "platform/qt_widgets/picture_box.h"

namespace mervo {

QFont designedFont(const QString& face, double points, bool bold) {
    QFont f = qtFontFor({face, points, bold});
    f.setPointSizeF(points);  // widgets size their text in points; surfaces use twips
    return f;
}

void setTwipsGeometry(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(px(left), px(top), px(width), px(height));
}

void setFixedTwipsSize(QWidget* w, int width, int height) { w->setFixedSize(px(width), px(height)); }

void moveTwips(QWidget* w, int left, int top) { w->move(px(left), px(top)); }

}  // namespace mervo
