// Drawing surfaces: the live panel's boxes, the curve boxes and printed pages all draw through this one
// interface, in twips (1/1440 inch) from the top-left corner, with colours as 0x00BBGGRR.
#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace mervo {

using Colour = uint32_t;
constexpr Colour kBlack = 0, kRed = 255, kGreen = 65280, kBlue = 16711680, kWhite = 16777215,
                 kLightGrey = 12632256;

enum class DrawMode { Normal, Invisible };  // a line drawn invisibly leaves no mark but moves the position

// One item of a print statement: text as it stands, a number in the printed general form (" 12 ", "-.5 "),
// or a move to a text column (column 1 at the left edge).
struct PrintItem {
    enum class Kind { Text, Number, Column };
    Kind kind = Kind::Text;
    QString text;
    float number = 0;
    int column = 0;

    static PrintItem textItem(const QString& t) { return {Kind::Text, t, 0, 0}; }
    static PrintItem numberItem(float v) { return {Kind::Number, QString(), v, 0}; }
    static PrintItem columnItem(int n) { return {Kind::Column, QString(), 0, n}; }
};

struct FontSpec {
    QString name = QStringLiteral("宋体");
    double size = 9;  // points
    bool bold = false;
};

class Surface {
public:
    virtual ~Surface() = default;

    // State that the drawing operations use.
    void setForeColor(Colour c) { fore_ = c; }
    void setBackColor(Colour c) { back_ = c; }
    void setLineStyle(int style) { lineStyle_ = style; }  // 0 solid, 2 dotted
    void setPenWidth(int w) { penWidth_ = w < 1 ? 1 : w; }
    void setDrawMode(DrawMode m) { drawMode_ = m; }
    void setFont(const FontSpec& f) { font_ = f; }
    void setFontSize(double points) { font_.size = points; }
    void setPosition(double x, double y) { x_ = x, y_ = y; }
    Colour foreColor() const { return fore_; }
    Colour backColor() const { return back_; }
    const FontSpec& font() const { return font_; }
    double currentX() const { return x_; }
    double currentY() const { return y_; }

    // Erases to the background colour; the position returns to (0, 0).
    void clear();
    // A line in the foreground colour or the given one; the position moves to the second point.
    void line(double x1, double y1, double x2, double y2);
    void line(double x1, double y1, double x2, double y2, Colour c);
    // A box outline between two corners.
    void box(double x1, double y1, double x2, double y2);
    // One print statement at the current position. It ends by moving to the start of the next line, or, when
    // `continues`, by leaving the position after its last item.
    void print(const std::vector<PrintItem>& items, bool continues = false);
    void print(std::initializer_list<PrintItem> items, bool continues = false) {
        print(std::vector<PrintItem>(items), continues);
    }
    void printText(const QString& t, bool continues = false) { print({PrintItem::textItem(t)}, continues); }

    // Paged surfaces only; a picture box ignores them.
    virtual void newPage() {}
    virtual bool endDoc() { return true; }
    virtual int page() const { return 1; }
    // The height a page can be printed on, in twips; 0 for a surface without pages, or pages as long as needed.
    virtual double pageHeight() const { return 0; }
    // Likewise the width a line can be printed on.
    virtual double pageWidth() const { return 0; }

    // Text metrics of the current font, in twips.
    virtual double textWidth(const QString& text) const = 0;
    // A width never below textWidth(text); a surface whose exact measuring is costly gives a cheaper one, used
    // where only "does the text reach that column" matters and it plainly does not.
    virtual double textWidthBound(const QString& text) const { return textWidth(text); }
    virtual double lineHeight() const = 0;
    virtual double averageCharWidth() const = 0;

protected:
    struct Pen {
        Colour colour;
        int style;
        int width;
    };
    virtual void doClear(Colour back) = 0;
    virtual void doLine(double x1, double y1, double x2, double y2, const Pen& pen) = 0;
    virtual void doBox(double x1, double y1, double x2, double y2, const Pen& pen) = 0;
    virtual void doText(double x, double y, const QString& text, Colour colour) = 0;

private:
    Pen pen(Colour c) const { return {c, lineStyle_, penWidth_}; }

    Colour fore_ = kBlack, back_ = kWhite;
    int lineStyle_ = 0, penWidth_ = 1;
    DrawMode drawMode_ = DrawMode::Normal;
    FontSpec font_;
    double x_ = 0, y_ = 0;
};

}  // namespace mervo
