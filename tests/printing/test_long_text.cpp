// Long paths and operator texts on paper: shortened or fitted, never run past the paper's edge, nothing lost
// that a reader needs.
#include <gtest/gtest.h>

#include "platform/fake/recording_surface.h"
#include "printing/long_text.h"

namespace mervo {
namespace {

// The recording surface's text is 10 twips a point per character (a full-width one twice): at 12 pt a
// character is 120 twips.
TEST(LongText, aPathKeepsItsStartAndFileNameAndFits) {
    RecordingSurface s;
    s.setFontSize(12);
    const QString path = QStringLiteral("/home/operator/tests/2026/december/pump-station-north/line3.MTQ");
    const struct {
        double width;
        bool whole;
    } cases[] = {{0, true}, {120.0 * 100, true}, {120.0 * 30, false}, {120.0 * 16, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const QString shown = elideMiddle(s, path, c.width);
        if (c.whole) {
            EXPECT_EQ(shown, path);
            continue;
        }
        EXPECT_LE(s.textWidth(shown), c.width);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("/ho"))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("3.MTQ"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("…")));
    }
}

// 38 full-width characters are 9120 twips at 12 pt: in 6000 twips they shrink to fit (9120 × 0.6 = 5472), in
// 3000 they also wrap; every character is printed once, in order, within the width.
TEST(LongText, anOperatorsTextShrinksThenWrapsWithinItsWidth) {
    const QString text = QStringLiteral("华东电力设备检测中心第三试验室电机能效测试组现场试验分队联系电话二一二三四五");
    ASSERT_EQ(text.size(), 38);
    const struct {
        double width;
        int lines;
    } cases[] = {{20000, 1}, {6000, 1}, {3000, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        RecordingSurface s;
        s.setFontSize(12);
        printFitted(s, 2400, 1000, text, c.width);
        QString printed;
        int lines = 0;
        for (const auto& call : s.texts()) {
            printed += call.text;
            ++lines;
            EXPECT_EQ(call.x1, 2400);
            EXPECT_LE(s.textWidth(call.text) * call.fontSize / 12, c.width);
            EXPECT_GE(call.fontSize, 12 * 0.6);
        }
        EXPECT_EQ(printed, text);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(s.font().size, 12) << "the size is left as it was";
        EXPECT_GE(s.currentY(), 1000 + 12 * 25.0) << "the next line starts below";
    }
}

}  // namespace
}  // namespace mervo
