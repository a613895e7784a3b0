// A picture box: a control that shows a persistent drawing surface, sized and drawn in twips.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "platform/qt_paint/painter_surface.h"

namespace mervo {

constexpr int kTwipsPerPixel = 15;  // at 96 dpi
inline int px(double twips) { return static_cast<int>(twips / kTwipsPerPixel + 0.5); }

// The image of a picture box, also keeping the text printed since it was last cleared, which is what the box
// shows as words (its accessible name, and what tests read).
class PictureSurface : public ImageSurface {
public:
    using ImageSurface::ImageSurface;
    const QString& shownText() const { return shown_; }

protected:
    void doClear(Colour back) override {
        shown_.clear();
        ImageSurface::doClear(back);
    }
    void doText(double x, double y, const QString& text, Colour colour) override {
        shown_ += text;
        ImageSurface::doText(x, y, text, colour);
    }

private:
    QString shown_;
};

// The control takes its designed place and size; its sunken frame is the outer ring of that size and the
// drawing (twips from (0, 0)) is the area inside it, so nothing drawn is ever covered by the frame.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFramePx = 2;  // frame width on each side, in pixels

    PictureBox(QWidget* parent, int widthTwips, int heightTwips);
    Surface& surface() { return *surface_; }
    ImageSurface& imageSurface() { return *surface_; }
    QString shownText() const { return surface_->shownText(); }
    // Called when the box must be drawn anew (the window's Paint handler); the image itself persists.
    std::function<void()> onPaint;
    // Shows what was drawn since the last call.
    void refresh();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::unique_ptr<PictureSurface> surface_;
};

}  // namespace mervo
