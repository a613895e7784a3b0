#include "platform/qt_paint/painter_surface.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <cmath>

namespace mervo {

QColor toQColor(Colour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
Colour fromQColor(const QColor& c) {
    return static_cast<Colour>(c.red()) | static_cast<Colour>(c.green()) << 8 | static_cast<Colour>(c.blue()) << 16;
}

QFont qtFontFor(const FontSpec& face) {
    QFont f;
    const bool hei = face.name == QStringLiteral("黑体");
    f.setFamilies(hei ? QStringList{QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Zen Hei"),
                                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("AR PL UMing CN")}
                      : QStringList{QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                                    QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
    // Sizes are set in twips, the unit every surface paints in: a point is 20 twips.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(face.size * 20.0))));
    f.setBold(face.bold);
    return f;
}

void loadPrintFaces(const std::vector<FontSpec>& faces, const QString& sample) {
    for (const FontSpec& face : faces) {
        const QFontMetricsF metrics(qtFontFor(face));
        (void)metrics.ascent();
        (void)metrics.horizontalAdvance(sample);
    }
}

const PainterSurface::FontCache& PainterSurface::fontCache() const {
    const FontSpec& f = font();
    if (cache_.valid && cache_.style.size == f.size && cache_.style.bold == f.bold && cache_.style.name == f.name)
        return cache_;
    cache_.style = f;
    cache_.font = qtFontFor(f);
    cache_.metrics = QFontMetricsF(cache_.font);
    cache_.ascent = cache_.metrics.ascent();
    cache_.height = cache_.metrics.height();
    cache_.averageWidth = cache_.metrics.averageCharWidth();
    cache_.latin1Known.fill(false);
    cache_.valid = true;
    cache_.onPainter = false;
    return cache_;
}

double PainterSurface::textWidth(const QString& text) const { return fontCache().metrics.horizontalAdvance(text); }
double PainterSurface::textWidthBound(const QString& text) const {
    // Shaping a string costs as much as drawing it. Latin-1 text is no wider than its characters' own advances
    // apart from kerning, which is far less than the average character width allowed on top; other text
    // (Chinese, marks, other scripts) is measured exactly.
    const FontCache& f = fontCache();
    double sum = f.averageWidth;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u > 0xFF) return textWidth(text);
        if (!f.latin1Known[u]) {
            cache_.latin1Advance[u] = f.metrics.horizontalAdvance(c);
            cache_.latin1Known[u] = true;
        }
        sum += f.latin1Advance[u];
    }
    return sum;
}

double PainterSurface::lineHeight() const { return fontCache().height; }
double PainterSurface::averageCharWidth() const { return fontCache().averageWidth; }

QPen PainterSurface::qtPen(const Pen& pen) const {
    // Width 1 is a hairline of one screen pixel (15 twips); wider pens scale with it.
    QPen p(toQColor(pen.colour), pen.width * 15.0);
    p.setStyle(pen.style == 2 ? Qt::DotLine : (pen.style == 1 ? Qt::DashLine : Qt::SolidLine));
    p.setCapStyle(Qt::FlatCap);
    return p;
}

void PainterSurface::doLine(double x1, double y1, double x2, double y2, const Pen& pen) {
    QPainter& p = painter();
    p.setPen(qtPen(pen));
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void PainterSurface::doBox(double x1, double y1, double x2, double y2, const Pen& pen) {
    QPainter& p = painter();
    p.setPen(qtPen(pen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void PainterSurface::doText(double x, double y, const QString& text, Colour colour) {
    QPainter& p = painter();
    const FontCache& f = fontCache();
    if (!f.onPainter) {
        p.setFont(f.font);
        cache_.onPainter = true;
    }
    p.setPen(toQColor(colour));
    // The position is the top of the text line.
    p.drawText(QPointF(x, y + f.ascent), text);
}

// ---------------------------------------------------------------------------------------------------------

ImageSurface::ImageSurface(int widthTwips, int heightTwips, qreal dpr)
    : w_(widthTwips),
      h_(heightTwips),
      image_(std::max(1, static_cast<int>(std::ceil(widthTwips / 15.0 * dpr))),
             std::max(1, static_cast<int>(std::ceil(heightTwips / 15.0 * dpr))), QImage::Format_ARGB32_Premultiplied) {
    image_.setDevicePixelRatio(dpr);
    image_.fill(toQColor(backColor()));
}

ImageSurface::~ImageSurface() {
    if (painter_.isActive()) painter_.end();
}

QPainter& ImageSurface::painter() {
    if (!painter_.isActive()) {
        painter_.begin(&image_);
        painterBegun();
        painter_.setRenderHint(QPainter::TextAntialiasing);
        painter_.scale(1.0 / 15.0, 1.0 / 15.0);
    }
    return painter_;
}

void ImageSurface::doClear(Colour back) {
    if (painter_.isActive()) painter_.end();
    image_.fill(toQColor(back));
}

const QImage& ImageSurface::image() {
    if (painter_.isActive()) painter_.end();
    return image_;
}

// ---------------------------------------------------------------------------------------------------------

PagedSurface::PagedSurface(QPagedPaintDevice* device) : device_(device) {}

PagedSurface::~PagedSurface() {
    if (painter_.isActive()) painter_.end();
}

double PagedSurface::pageHeight() const {
    // The painter's origin is the printable area's corner: its height, in twips (20 to a point).
    return device_->pageLayout().paintRect(QPageLayout::Point).height() * 20.0;
}

double PagedSurface::pageWidth() const { return device_->pageLayout().paintRect(QPageLayout::Point).width() * 20.0; }

QPainter& PagedSurface::painter() {
    if (!painter_.isActive()) {
        // A device that cannot be written (no such directory, no permission) fails once; the rest of the
        // document goes to a sink instead of retrying, which would warn on every single drawing call.
        if (failed_ || !painter_.begin(device_)) {
            failed_ = true;
            painter_.begin(&sink_);
        }
        painterBegun();
        const double scale = device_->logicalDpiX() / 1440.0;
        painter_.scale(scale, device_->logicalDpiY() / 1440.0);
    }
    return painter_;
}

// A curve of a long recording is thousands of joined segments. As one path each costs a third of the bytes of a
// segment stroked on its own, which the page has to store and compress; the solid line looks the same.
void PagedSurface::doLine(double x1, double y1, double x2, double y2, const Pen& pen) {
    const QPointF from(x1, y1), to(x2, y2);
    if (!run_.isEmpty() && run_.last() == from && pen.colour == runPen_.colour && pen.style == runPen_.style &&
        pen.width == runPen_.width) {
        run_.append(to);
        return;
    }
    drawRun();
    if (pen.style != 0) return PainterSurface::doLine(x1, y1, x2, y2, pen);  // a dotted line keeps its own dots
    runPen_ = pen;
    run_ << from << to;
}

void PagedSurface::drawRun() {
    if (run_.isEmpty()) return;
    QPainter& p = painter();
    // On the device's own dots (1/1200 inch for a PDF, the printer's for a printer), which no paper shows apart
    // from the exact points: a whole number is written in half the characters of a fraction.
    const QTransform twips = p.transform();
    QPolygon dots;
    dots.reserve(run_.size());
    for (const QPointF& point : run_) {
        const QPoint dot = twips.map(point).toPoint();
        if (!dots.isEmpty() && dot == dots.last()) continue;
        // A dot on the line through the last two, going on the same way along a row or a column, only lengthens it.
        const qsizetype n = dots.size();
        if (n >= 2) {
            const QPoint a = dots[n - 2], b = dots[n - 1];
            const bool column = a.x() == b.x() && b.x() == dot.x() && (b.y() - a.y() > 0) == (dot.y() - b.y() > 0);
            const bool row = a.y() == b.y() && b.y() == dot.y() && (b.x() - a.x() > 0) == (dot.x() - b.x() > 0);
            if (column || row) {
                dots.last() = dot;
                continue;
            }
        }
        dots.append(dot);
    }
    QPen pen = qtPen(runPen_);
    pen.setWidthF(pen.widthF() * twips.m11());
    p.resetTransform();
    p.setPen(pen);
    p.drawPolyline(dots);
    p.setTransform(twips);
    run_.clear();
}

void PagedSurface::doBox(double x1, double y1, double x2, double y2, const Pen& pen) {
    drawRun();
    PainterSurface::doBox(x1, y1, x2, y2, pen);
}

void PagedSurface::doText(double x, double y, const QString& text, Colour colour) {
    drawRun();
    PainterSurface::doText(x, y, text, colour);
}

void PagedSurface::doClear(Colour back) {
    drawRun();
    QPainter& p = painter();
    p.fillRect(QRectF(0, 0, device_->width() * 1440.0 / device_->logicalDpiX(),
                      device_->height() * 1440.0 / device_->logicalDpiY()),
               toQColor(back));
}

void PagedSurface::newPage() {
    drawRun();
    painter();
    if (!failed_ && !device_->newPage()) failed_ = true;
    ++page_;
    setPosition(0, 0);
}

bool PagedSurface::endDoc() {
    // Once ended, beginning the painter again would start a fresh, empty document over the finished one.
    if (ended_) return !failed_;
    ended_ = true;
    drawRun();
    painter();
    if (!painter_.end()) failed_ = true;
    return !failed_;
}

}  // namespace mervo
