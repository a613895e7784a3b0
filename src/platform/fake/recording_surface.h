// A surface that keeps every drawing call, with fixed text metrics, so tests can assert coordinates and texts.
#pragma once

#include <QString>
#include <vector>

#include "platform/surface.h"

namespace mervo {

class RecordingSurface : public Surface {
public:
    struct Call {
        enum class Op { Clear, Line, Box, Text, NewPage, EndDoc } op;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        Colour colour = 0;
        int style = 0, width = 0;
        QString text;
        double fontSize = 0;
    };
    std::vector<Call> calls;
    int pages = 1;

    // Every character is as wide as the average (a full-width one twice), 10 twips per point; lines 25 per point.
    double textWidth(const QString& text) const override;
    double lineHeight() const override { return font().size * 25.0; }
    double averageCharWidth() const override { return font().size * 10.0; }

    void newPage() override;
    bool endDoc() override;
    int page() const override { return pages; }
    double pageHeight() const override { return pageHeightTwips; }
    double pageWidth() const override { return pageWidthTwips; }
    double pageHeightTwips = 0, pageWidthTwips = 0;  // as large as needed unless a test sets a paper

    std::vector<Call> texts() const;
    std::vector<Call> lines() const;

protected:
    void doClear(Colour back) override;
    void doLine(double x1, double y1, double x2, double y2, const Pen& pen) override;
    void doBox(double x1, double y1, double x2, double y2, const Pen& pen) override;
    void doText(double x, double y, const QString& text, Colour colour) override;
};

}  // namespace mervo
