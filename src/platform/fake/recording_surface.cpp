#include "platform/fake/recording_surface.h"

namespace mervo {

namespace {
RecordingSurface::Call makeCall(RecordingSurface::Call::Op op, double x1 = 0, double y1 = 0, double x2 = 0,
                                double y2 = 0, Colour colour = 0, int style = 0, int width = 0) {
    RecordingSurface::Call c{};
    c.op = op;
    c.x1 = x1, c.y1 = y1, c.x2 = x2, c.y2 = y2;
    c.colour = colour;
    c.style = style;
    c.width = width;
    return c;
}
}  // namespace

double RecordingSurface::textWidth(const QString& text) const {
    double units = 0;
    for (QChar c : text) units += c.unicode() >= 0x2E80 ? 2 : 1;
    return units * averageCharWidth();
}

void RecordingSurface::newPage() {
    calls.push_back(makeCall(Call::Op::NewPage));
    ++pages;
    setPosition(0, 0);
}

bool RecordingSurface::endDoc() {
    calls.push_back(makeCall(Call::Op::EndDoc));
    return true;
}

std::vector<RecordingSurface::Call> RecordingSurface::texts() const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.op == Call::Op::Text) out.push_back(c);
    return out;
}

std::vector<RecordingSurface::Call> RecordingSurface::lines() const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.op == Call::Op::Line) out.push_back(c);
    return out;
}

void RecordingSurface::doClear(Colour back) {
    calls.push_back(makeCall(Call::Op::Clear, 0, 0, 0, 0, back));
}

void RecordingSurface::doLine(double x1, double y1, double x2, double y2, const Pen& pen) {
    calls.push_back(makeCall(Call::Op::Line, x1, y1, x2, y2, pen.colour, pen.style, pen.width));
}

void RecordingSurface::doBox(double x1, double y1, double x2, double y2, const Pen& pen) {
    calls.push_back(makeCall(Call::Op::Box, x1, y1, x2, y2, pen.colour, pen.style, pen.width));
}

void RecordingSurface::doText(double x, double y, const QString& text, Colour colour) {
    Call c = makeCall(Call::Op::Text, x, y, x, y, colour);
    c.text = text;
    c.fontSize = font().size;
    calls.push_back(c);
}

}  // namespace mervo
