// Surfaces that paint with QPainter: a picture box's persistent image, and printed or PDF pages.
#pragma once

#include <vector>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <array>
#include <memory>

#include "platform/surface.h"

class QPagedPaintDevice;

namespace mervo {

// The installed face for a designed one; the family list falls back so Chinese never shows as boxes.
QFont qtFontFor(const FontSpec& face);
// Finds and opens the faces a printout uses and the glyphs of `sample` in them, which takes a few hundredths of a
// second the first time. Qt keeps the faces it opens for the thread that opened them: called on the thread that
// will draw, while another works out the printout's figures.
void loadPrintFaces(const std::vector<FontSpec>& faces, const QString& sample);

class PainterSurface : public Surface {
public:
    double textWidth(const QString& text) const override;
    double textWidthBound(const QString& text) const override;
    double lineHeight() const override;
    double averageCharWidth() const override;

protected:
    virtual QPainter& painter() = 0;  // active, with twips as its units
    // Called by painter() when it begins anew: a fresh painter has not got the current font yet.
    void painterBegun() { cache_.onPainter = false; }
    void doLine(double x1, double y1, double x2, double y2, const Pen& pen) override;
    void doBox(double x1, double y1, double x2, double y2, const Pen& pen) override;
    void doText(double x, double y, const QString& text, Colour colour) override;
    QPen qtPen(const Pen& pen) const;

private:
    // The font and metrics of the current font style, built once per style: building a QFont with its family fallback
    // list and its metrics for every text item cost a third of a long table's printing time.
    struct FontCache {
        FontSpec style;
        QFont font;
        QFontMetricsF metrics{QFont()};
        double ascent = 0, height = 0, averageWidth = 0;
        std::array<double, 256> latin1Advance{};  // advance of each Latin-1 character, measured when first met
        std::array<bool, 256> latin1Known{};
        bool valid = false;
        bool onPainter = false;  // the painter has this font (setFont copies and resolves it on every call)
    };
    const FontCache& fontCache() const;

    mutable FontCache cache_;
};

// A picture box: what is drawn stays in the image until cleared, crisp at any device pixel ratio.
class ImageSurface : public PainterSurface {
public:
    ImageSurface(int widthTwips, int heightTwips, qreal devicePixelRatio = 1.0);
    ~ImageSurface() override;
    // The picture as it stands (finishes any painting in progress).
    const QImage& image();
    int widthTwips() const { return w_; }
    int heightTwips() const { return h_; }

protected:
    QPainter& painter() override;
    void doClear(Colour back) override;

private:
    int w_, h_;
    QImage image_;
    QPainter painter_;
};

// Pages of a printer or a PDF writer. Twips map to device units exactly.
class PagedSurface : public PainterSurface {
public:
    explicit PagedSurface(QPagedPaintDevice* device);
    ~PagedSurface() override;
    void newPage() override;
    bool endDoc() override;  // false when the device could not be written
    int page() const override { return page_; }
    double pageHeight() const override;
    double pageWidth() const override;

protected:
    QPainter& painter() override;
    void doClear(Colour back) override;
    void doLine(double x1, double y1, double x2, double y2, const Pen& pen) override;
    void doBox(double x1, double y1, double x2, double y2, const Pen& pen) override;
    void doText(double x, double y, const QString& text, Colour colour) override;

private:
    void drawRun();

    QPagedPaintDevice* device_;
    // Solid segments that join end to start with the same pen, drawn as one path when something else comes.
    QPolygonF run_;
    Pen runPen_{};
    QPainter painter_;
    QImage sink_{1, 1, QImage::Format_RGB32};  // takes the drawing once the device has failed
    int page_ = 1;
    bool failed_ = false;
    bool ended_ = false;
};

Colour fromQColor(const QColor& c);
QColor toQColor(Colour c);

}  // namespace mervo
