// Laying out designed windows: positions and sizes in twips, the designed Chinese faces mapped to installed ones.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>
#include <utility>

namespace mervo {

// "宋体" (the default) or "黑体" at a size in points, falling back to installed CJK faces.
QFont designedFont(const QString& face = QStringLiteral("宋体"), double points = 9, bool bold = false);

// Places a control at left/top with width/height, all in twips (15 twips to a pixel at 96 dpi).
void setTwipsGeometry(QWidget* w, int left, int top, int width, int height);

// A designed control: a T made from `args` and its parent (a caption, a text, in the order T takes them), given
// its designed `name` (none where empty) and placed at left/top with width/height in twips.
template <class T, class... Args>
T* placed(QWidget* parent, const QString& name, int left, int top, int width, int height, Args&&... args) {
    auto* control = new T(std::forward<Args>(args)..., parent);
    if (!name.isEmpty()) control->setObjectName(name);
    setTwipsGeometry(control, left, top, width, height);
    return control;
}

// A top-level window's client area in twips, fixed.
void setFixedTwipsSize(QWidget* w, int width, int height);

// Moves a top-level window to left/top twips on the screen.
void moveTwips(QWidget* w, int left, int top);

}  // namespace mervo
