// The trend window as an operator uses it: opened on a measurement with Ctrl+T, the cursors typed in by sample
// number, the interval table read off; Ctrl+click on a sample queries it in the analysis window.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <map>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <qcustomplot.h>

#include "windows/analysis_window.h"
#include "windows/gui_test_support.h"
#include "windows/trend_plots.h"
#include "windows/trend_window.h"

using namespace mervo;
using namespace mervo::test;

namespace {

// The committed file of the model's tests: samples 1-6 at 6 kW (50 % load), 7-8 below no-load at 0.45 kW,
// 9-12 generating at -6 kW, one second apart.
TrendWindow* openTrendOnFixture(MainWindowRig& rig) {
    const QString file = rig.path("motor.MTQ");
    EXPECT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), file));
    rig.window->openPath(file);
    rig.window->show();
    rig.window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));  // a window's keys work in the active window
    QTest::keySequence(rig.window.get(), QKeySequence(Qt::CTRL | Qt::Key_T));
    TrendWindow* w = rig.window->trendWindow();
    if (!w) return nullptr;
    for (int i = 0; i < 1000 && w->loading(); ++i) QTest::qWait(5);
    return w;
}

void typeNumber(QSpinBox* box, int n) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::number(n));
    QTest::keyClick(box, Qt::Key_Return);
}

}  // namespace

TEST(TrendWindowTest, CursorsTypedBySampleNumberFillTheIntervalTable) {
    MainWindowRig rig;
    TrendWindow* w = openTrendOnFixture(rig);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->series().size(), 12);
    typeNumber(w->cursorA, 5);
    typeNumber(w->cursorB, 8);
    std::map<QString, QStringList> rows;
    for (int r = 0; r < w->table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 1; c < 4; ++c) cells << (w->table->item(r, c) ? w->table->item(r, c)->text() : QString());
        rows[w->table->item(r, 0)->text()] = cells;
    }
    // Samples 5-8: two at 6 kW, two at 0.45 kW; energy over the steps to 6, 7 and 8: 6.9 kW·s.
    const std::map<QString, QStringList> expected = {
        {QStringLiteral("A 数据号"), {"5", "", ""}},
        {QStringLiteral("B 数据号"), {"8", "", ""}},
        {QStringLiteral("Δt (s)"), {"3.000", "", ""}},
        {QStringLiteral("数据组数"), {"4", "", ""}},
        {QStringLiteral("ΣP (kW)"), {"3.225", "0.450", "6.000"}},
        {QStringLiteral("I1 (A)"), {"5.500", "1.000", "10.000"}},
        {QStringLiteral("有功电量 (W·h)"), {"1.917", "", ""}},
        {QStringLiteral("负载率 (%)"), {"25.000", "0.000", "50.000"}},
        {QStringLiteral("低于空载时间 (s)"), {"2.000", "", ""}},
        {QStringLiteral("发电时间 (s)"), {"0.000", "", ""}},
    };
    for (const auto& [label, cells] : expected) {
        ASSERT_TRUE(rows.count(label)) << label.toStdString();
        EXPECT_EQ(rows[label], cells) << label.toStdString();
    }

    // The same table as CSV for a spreadsheet.
    rig.dialogs.answers = {rig.path("interval.csv")};
    w->exportButton->click();
    QFile csv(rig.path("interval.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.value(0), QStringLiteral("项目,平均,最小,最大"));
    EXPECT_TRUE(lines.contains(QStringLiteral("ΣP (kW),3.225,0.450,6.000")));
    EXPECT_TRUE(lines.contains(QStringLiteral("数据组数,4,,"))) << lines.join(QLatin1Char('|')).toStdString();
}

TEST(TrendWindowTest, CtrlClickOnASampleQueriesItInTheAnalysisWindow) {
    MainWindowRig rig;
    TrendWindow* w = openTrendOnFixture(rig);
    ASSERT_NE(w, nullptr);
    rig.window->mnuDAT->trigger();
    AnalysisWindow* a = rig.window->analysisWindow();
    ASSERT_NE(a, nullptr);
    for (int i = 0; i < 1000 && !a->analysed(); ++i) QTest::qWait(5);
    w->show();
    QCustomPlot* panel = w->plots->panels[0];
    w->plots->redrawNow();
    // Sample 7 lies at 7 s.
    const QPoint at(static_cast<int>(panel->xAxis->coordToPixel(7.0)), panel->height() / 2);
    QTest::mouseClick(panel, Qt::LeftButton, Qt::ControlModifier, at);
    EXPECT_EQ(a->Text1->text(), QStringLiteral("7"));
    // The query ran: the panel's time is sample 7's.
    EXPECT_EQ(rig.state.file.ElapsedTime, 7.0f);
    EXPECT_TRUE(rig.messages.shown.empty());
}
