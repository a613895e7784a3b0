// The trend plots as a picture: the visible panels one under the other, under a caption that says what they
// show, as PNG for the clipboard and the screen, or as PDF and SVG with the curves as vectors.
#include <QBuffer>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <qcustomplot.h>

#include "platform/qt_widgets/twips_widgets.h"
#include "windows/trend_plots.h"

namespace mervo {

namespace {
constexpr int kCaptionPadding = 6;
}

int TrendPlots::captionHeight(const QStringList& caption) const {
    if (caption.isEmpty()) return 0;
    return QFontMetrics(designedFont()).lineSpacing() * static_cast<int>(caption.size()) + 2 * kCaptionPadding;
}

void TrendPlots::paintPicture(QPainter& painter, const QStringList& caption, int width, int captionHeight,
                              bool vector) {
    painter.fillRect(QRect(0, 0, width, captionHeight), Qt::white);
    painter.setFont(designedFont());
    painter.setPen(Qt::black);
    const int line = QFontMetrics(designedFont()).lineSpacing();
    for (int i = 0; i < caption.size(); ++i)
        painter.drawText(QRect(kCaptionPadding, kCaptionPadding + i * line, width - 2 * kCaptionPadding, line),
                         Qt::AlignLeft | Qt::AlignVCenter, caption[i]);
    int y = captionHeight;
    for (QCustomPlot* p : panels) {
        if (!p->isVisible()) continue;
        if (vector) {
            painter.save();
            painter.translate(0, y);
            p->toPainter(static_cast<QCPPainter*>(&painter), p->width(), p->height());
            painter.restore();
        } else {
            painter.drawPixmap(0, y, p->toPixmap(p->width(), p->height()));
        }
        y += p->height();
    }
}

// The panels in view, one above the other.
QSize TrendPlots::shownPanelsSize() const {
    int height = 0, width = 0;
    for (QCustomPlot* p : panels)
        if (p->isVisible()) {
            height += p->height();
            width = std::max(width, p->width());
        }
    return {width, height};
}

QImage TrendPlots::image(const QStringList& caption) {
    const QSize panelsSize = shownPanelsSize();
    const int width = panelsSize.width(), height = panelsSize.height();
    if (width <= 0 || height <= 0) return {};
    const int top = captionHeight(caption);
    QImage image(width, height + top, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPicture(painter, caption, width, top, false);
    return image;
}

QByteArray TrendPlots::picture(const QStringList& caption, const QString& format) {
    const QSize panelsSize = shownPanelsSize();
    const int width = panelsSize.width(), height = panelsSize.height();
    if (width <= 0 || height <= 0) return {};
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const int top = captionHeight(caption);
    const QString f = format.toLower();
    if (f == QLatin1String("png")) {
        if (!image(caption).save(&out, "PNG")) return {};
        return out.data();
    }
    const auto vector = [&](QPaintDevice* device) {
        QCPPainter painter(device);
        if (!painter.isActive()) return false;
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        paintPicture(painter, caption, width, top, true);
        return painter.end();
    };
    if (f == QLatin1String("pdf")) {
        QPdfWriter pdf(&out);
        pdf.setResolution(96);
        // A page of the plots' size: points are 72 an inch, the plots' pixels 96.
        pdf.setPageSize(QPageSize(QSizeF(width * 0.75, (height + top) * 0.75), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setCreator(QStringLiteral("MERVO"));
        pdf.setTitle(QStringLiteral("趋势分析"));
        if (!vector(&pdf)) return {};
    } else if (f == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(QSize(width, height + top));
        svg.setViewBox(QRect(0, 0, width, height + top));
        svg.setTitle(QStringLiteral("趋势分析"));
        if (!vector(&svg)) return {};
    } else {
        return {};
    }
    return out.data();
}

}  // namespace mervo
