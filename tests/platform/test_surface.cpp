// Print statements, column items, numbers and lines on a surface; the painted image and PDF pages.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "platform/fake/recording_surface.h"
#include "platform/qt_paint/painter_surface.h"

using namespace mervo;
using Op = RecordingSurface::Call::Op;

namespace {

// Fonts and painting need an application object; one offscreen instance serves every test.
void ensureApp() {
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

// With the recording surface's metrics at 9 points: characters 90 twips wide, lines 225 twips high.
TEST(PrintStatement, placesItemsAndEndsOrContinuesTheLine) {
    struct Case {
        const char* name;
        std::vector<PrintItem> items;
        bool continues;
        std::vector<std::pair<QString, QPointF>> texts;
        QPointF endsAt;
    } cases[] = {
        {"number gets a blank before and after", {PrintItem::numberItem(12)}, false, {{" 12 ", {0, 0}}}, {0, 225}},
        {"negative fraction has no zero", {PrintItem::numberItem(-0.5f)}, true, {{"-.5 ", {0, 0}}}, {360, 0}},
        {"items follow each other", {PrintItem::textItem("AB"), PrintItem::numberItem(0.2f)}, true,
         {{"AB", {0, 0}}, {" .2 ", {180, 0}}}, {540, 0}},
        {"column ahead of the position", {PrintItem::columnItem(10), PrintItem::textItem("x")}, true,
         {{"x", {810, 0}}}, {900, 0}},
        {"column behind the position wraps to the next line",
         {PrintItem::textItem(QString(45, QLatin1Char('a'))), PrintItem::columnItem(40), PrintItem::textItem("b")},
         false, {{QString(45, QLatin1Char('a')), {0, 0}}, {"b", {3510, 225}}}, {0, 450}},
        {"column 1 is the left edge", {PrintItem::textItem("a"), PrintItem::columnItem(1)}, true,
         {{"a", {0, 0}}}, {0, 225}},
        {"full-width text is twice as wide", {PrintItem::textItem(QStringLiteral("电流")), PrintItem::textItem("A")},
         true, {{QStringLiteral("电流"), {0, 0}}, {"A", {360, 0}}}, {450, 0}},
    };
    for (const auto& c : cases) {
        RecordingSurface s;
        s.print(c.items, c.continues);
        const auto texts = s.texts();
        ASSERT_EQ(texts.size(), c.texts.size()) << c.name;
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i].text, c.texts[i].first) << c.name;
            EXPECT_DOUBLE_EQ(texts[i].x1, c.texts[i].second.x()) << c.name;
            EXPECT_DOUBLE_EQ(texts[i].y1, c.texts[i].second.y()) << c.name;
        }
        EXPECT_DOUBLE_EQ(s.currentX(), c.endsAt.x()) << c.name;
        EXPECT_DOUBLE_EQ(s.currentY(), c.endsAt.y()) << c.name;
    }
}

TEST(PrintStatement, clearingPutsTheNextValueAtTheTopLeft) {
    RecordingSurface s;
    s.setBackColor(kLightGrey);
    s.printText("old");
    s.printText("older");
    s.clear();
    s.printText(" 1.500");
    ASSERT_EQ(s.calls[2].op, Op::Clear);
    EXPECT_EQ(s.calls[2].colour, kLightGrey);
    EXPECT_EQ(s.texts().back().x1, 0);
    EXPECT_EQ(s.texts().back().y1, 0);
}

TEST(Lines, useTheForegroundOrTheirOwnColourAndMoveThePosition) {
    RecordingSurface s;
    s.setForeColor(kBlue);
    s.setLineStyle(2);
    s.line(0, 1600, 6000, 200);
    s.line(10, 20, 30, 40, kRed);
    s.setDrawMode(DrawMode::Invisible);
    s.line(30, 40, 50, 60, kRed);  // leaves no mark
    s.setDrawMode(DrawMode::Normal);
    s.setPenWidth(0);  // never thinner than one
    s.box(1, 2, 3, 4);
    const auto lines = s.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].colour, kBlue);
    EXPECT_EQ(lines[0].style, 2);
    EXPECT_EQ(lines[1].colour, kRed);
    EXPECT_EQ(lines[1].x2, 30);
    EXPECT_EQ(s.calls.back().op, Op::Box);
    EXPECT_EQ(s.calls.back().width, 1);
    EXPECT_EQ(s.currentX(), 3);
    EXPECT_EQ(s.currentY(), 4);
}

int inkPixels(const QImage& img, QRgb background) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) != background;
    return n;
}

TEST(ImageSurface, chineseTextRendersWithRealGlyphs) {
    ensureApp();
    for (const QString& face : {QStringLiteral("宋体"), QStringLiteral("黑体")}) {
        const QFont f = qtFontFor({face, 9, false});
        const QFontMetrics m(f);
        for (QChar c : QStringLiteral("一路电流功率因数累计曲线")) EXPECT_TRUE(m.inFont(c)) << face.toStdString();
    }
    ImageSurface s(975, 255);
    s.clear();
    s.printText(QStringLiteral("一路电流"));
    const QImage& img = s.image();
    EXPECT_EQ(img.width(), 65);
    EXPECT_EQ(img.height(), 17);
    EXPECT_GT(inkPixels(img, qRgb(255, 255, 255)), 20);
}

TEST(ImageSurface, keepsWhatWasDrawnUntilCleared) {
    ensureApp();
    ImageSurface s(6000, 1800, 2.0);
    EXPECT_EQ(s.image().width(), 800) << "twice the pixels at a device pixel ratio of 2";
    s.setBackColor(kBlack);
    s.clear();
    s.line(0, 900, 6000, 900, kGreen);
    const QImage first = s.image().copy();
    s.line(3000, 0, 3000, 1800, kRed);
    const QImage& both = s.image();
    EXPECT_EQ(both.pixel(100, 120), qRgb(0, 255, 0)) << "the first line is still there";
    EXPECT_EQ(both.pixel(400, 20), qRgb(255, 0, 0));
    EXPECT_EQ(first.pixel(400, 20), qRgb(0, 0, 0));
    s.clear();
    EXPECT_EQ(inkPixels(s.image(), qRgb(0, 0, 0)), 0);
}

// The surface keeps the font of one style between calls: after other sizes and faces it must measure each style as
// a surface that never saw another one does, and paint it so even when the style changes within one painting.
TEST(ImageSurface, aFontSpecMeasuresAndPaintsTheSameAfterOtherSpecs) {
    ensureApp();
    const FontSpec styles[] = {
        {QStringLiteral("宋体"), 10, false}, {QStringLiteral("宋体"), 20, false}, {QStringLiteral("宋体"), 10, false},
        {QStringLiteral("黑体"), 10, false}, {QStringLiteral("宋体"), 10, true},  {QStringLiteral("宋体"), 10, false},
    };
    const QString text = QStringLiteral("数据 12.345");
    ImageSurface used(4000, 1200);
    for (size_t i = 1; i < std::size(styles); ++i) {
        const FontSpec& style = styles[i];
        SCOPED_TRACE(testing::Message() << style.name.toStdString() << ' ' << style.size << (style.bold ? " bold" : ""));
        // The same two lines, the fresh surface beginning a new painting for the second.
        ImageSurface fresh(4000, 1200);
        fresh.clear();
        fresh.setFont(styles[i - 1]);
        fresh.printText(text);
        (void)fresh.image();
        fresh.setFont(style);
        used.clear();
        used.setFont(styles[i - 1]);
        used.printText(text);
        used.setFont(style);
        EXPECT_EQ(used.textWidth(text), fresh.textWidth(text));
        EXPECT_EQ(used.lineHeight(), fresh.lineHeight());
        EXPECT_EQ(used.averageCharWidth(), fresh.averageCharWidth());
        used.printText(text);
        fresh.printText(text);
        EXPECT_EQ(used.image(), fresh.image());
    }
    ImageSurface small(4000, 600), big(4000, 600);
    small.setFont(styles[0]);
    big.setFont(styles[1]);
    EXPECT_NEAR(big.lineHeight(), 2 * small.lineHeight(), 30) << "twice the size, about twice the line";
}

// A painted line measures its texts only where it must; where it does, it must agree with the exact width: a
// text reaching past the next column moves to the next line, a short one does not, an item after a text and a
// statement that continues start where the text ends.
TEST(ImageSurface, printMovesPastTextsByTheirWidthAndWrapsOnlyTextsReachingTheColumn) {
    ensureApp();
    const QString digits = QStringLiteral("1234567890123456789012345678901234567890");
    const QString chinese = QStringLiteral("数据数据数据数据数据数据数据数据");
    const struct {
        QString text;
        int column;  // the column after the text
        bool wraps;
    } cases[] = {
        {QStringLiteral(" 12 "), 40, false}, {digits, 3, true},   {chinese, 3, true},
        {QStringLiteral("-- END --"), 60, false}, {QStringLiteral("数据"), 60, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        ImageSurface s(12000, 1200);
        s.setFont({QStringLiteral("宋体"), 10, false});
        const double line = s.lineHeight();
        s.print({PrintItem::textItem(c.text), PrintItem::columnItem(c.column)}, true);
        EXPECT_EQ(s.currentY(), c.wraps ? line : 0);
        EXPECT_EQ(s.currentX(), (c.column - 1) * s.averageCharWidth());
        s.setPosition(0, 0);
        s.print({PrintItem::textItem(c.text)}, true);
        EXPECT_EQ(s.currentX(), s.textWidth(c.text));
        s.setPosition(0, 0);
        s.print({PrintItem::textItem(c.text), PrintItem::textItem(c.text)}, true);
        EXPECT_EQ(s.currentX(), 2 * s.textWidth(c.text));
    }
}

TEST(PagedSurface, writesPagesToAPdfAndReportsAFailedDevice) {
    ensureApp();
    QTemporaryDir dir;
    const QString path = dir.filePath("t.pdf");
    {
        QPdfWriter pdf(path);
        PagedSurface s(&pdf);
        s.printText(QStringLiteral("数据表"));
        s.line(0, 0, 1440, 1440);
        s.newPage();
        EXPECT_EQ(s.page(), 2);
        EXPECT_EQ(s.currentY(), 0);
        s.printText("page 2");
        EXPECT_TRUE(s.endDoc());
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(5).startsWith("%PDF"));
    EXPECT_GT(f.size(), 500);

    QPdfWriter bad(dir.filePath("missing/dir/t.pdf"));
    PagedSurface s(&bad);
    s.printText("x");
    EXPECT_FALSE(s.endDoc());
}

// The page's drawing operators, from its compressed content streams.
QByteArray pageOperators(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray pdf = f.readAll();
    QByteArray out;
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at + 1)) {
        const qsizetype from = at + 7, to = pdf.indexOf("endstream", from);
        if (to < 0 || (at > 0 && pdf[at - 1] == 'd')) continue;
        QByteArray z(4, 0);
        const quint32 room = 1 << 20;
        for (int i = 0; i < 4; ++i) z[i] = static_cast<char>(room >> (24 - 8 * i));
        out += qUncompress(z + pdf.mid(from, to - from));
    }
    return out;
}

TEST(PagedSurface, drawsJoinedSolidSegmentsAsOnePathOnTheDeviceDotsAndLosesNoLine) {
    ensureApp();
    QTemporaryDir dir;
    const QString path = dir.filePath("lines.pdf");
    {
        QPdfWriter pdf(path);
        pdf.setResolution(1200);  // 1440 twips are 1200 dots
        PagedSurface s(&pdf);
        s.line(0, 0, 1440, 0);
        s.line(1440, 0, 1440, 1440);
        s.line(1440, 1440, 2881, 0);  // 2400.8 dots: on the dot
        s.setLineStyle(2);
        s.line(2881, 0, 2881, 720);  // dotted: a path of its own
        s.setLineStyle(0);
        s.line(0, 0, 720, 720, kRed);  // another pen, drawn when the page ends
        ASSERT_TRUE(s.endDoc());
    }
    const QByteArray ops = pageOperators(path);
    EXPECT_TRUE(ops.contains("0 0 m\n1200 0 l\n1200 1200 l\n2401 0 l\nS")) << ops.toStdString();
    EXPECT_TRUE(ops.contains("0 0 m\n600 600 l\nS")) << ops.toStdString();
    EXPECT_EQ(ops.count(" m\n"), 3) << ops.toStdString();
}

}  // namespace
