// The motor assessment window as an operator reaches it, from the 分析 menu over the whole measurement and from
// the trend window's 评估此区间 over its cursors A..B: once the run in slices has ended, the verdict and the
// results table read off.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <map>

#include "windows/assessment_window.h"
#include "windows/gui_test_support.h"
#include "windows/trend_window.h"

using namespace mervo;
using namespace mervo::test;

// The committed file of the model's tests: 4 poles, 10 kW, 20 A, 80 %, I0 6 A, P0 0.5 kW, 380 V; samples 1-6 at
// ΣP 6 kW and |ΣQ| 4.5 kvar running at 50 % load (output 5 kW), 7-8 below no-load at 0.45 kW, 9-12 generating at
// -6 kW, one second each. Worked by hand at K_Q 0.05:
//   cos φ_N = 10000 / (√3·380·20·0.8) = 0.949589, Q_N = 12.5·tan φ_N = 4.126742 kvar,
//   η_cN = 10 / (12.5 + 0.05·4.126742) = 78.70 %;
//   η_y = 80 − 0.15·20 = 77 %, cos φ_y = 0.949589 − 0.02 (the deduction of 0.0084 held at its floor),
//   η_cy = 10 / (12.987013·(1 + 0.05·tan φ_y)) = 75.50 %;
//   η_c = 6·5 / (6·6 + 0.05·6·4.5) = 80.32 %; β_a = √(0.5/2) = 50 %;
//   Q0 = √((√3·380·6/1000)² − 0.25) = 3.917295, β_c = √((0.5 + 0.05·3.917295) / (2 + 0.05·(4.126742 − 3.917295))) = 58.83 %.
// Over samples 1-6 the energies are 36 kW·s (0.01 kWh) and -27 kvar·s, power factor 0.8 leading; over the whole
// file 12.9 kW·s (0.003583 kWh) and -10.2 kvar·s, 12.9 / √(12.9² + 10.2²) = 0.784 leading.
TEST(AssessmentWindowTest, theVerdictAndTableOfTheMeasurementOrOfTheTrendsInterval) {
    const QString verdict = QStringLiteral("经济运行：综合效率 80.3 %，不低于额定综合效率 78.7 %；平均负载率 50 %（综合经济负载率 59 %）");
    const std::map<QString, QString> motorRows = {
        {QStringLiteral("综合效率 η_c"), QStringLiteral("80.32")},
        {QStringLiteral("额定综合效率 η_cN"), QStringLiteral("78.70")},
        {QStringLiteral("允许综合效率 η_cy"), QStringLiteral("75.50")},
        {QStringLiteral("运行区域"), QStringLiteral("经济运行")},
        {QStringLiteral("有功经济负载率 β_a"), QStringLiteral("50.00")},
        {QStringLiteral("综合经济负载率 β_c"), QStringLiteral("58.83")},
        {QStringLiteral("运行时间"), QStringLiteral("6.00")},
    };
    const struct {
        const char* route;
        bool fromTrend;
        std::map<QString, QString> rows;
    } cases[] = {
        {"the 分析 menu, the whole file", false,
         {{QStringLiteral("输入有功电量"), QStringLiteral("0.003583")},
          {QStringLiteral("功率因数"), QStringLiteral("0.784 C")},
          {QStringLiteral("低于空载时间"), QStringLiteral("2.00")},
          {QStringLiteral("发电时间"), QStringLiteral("4.00")}}},
        {"评估此区间 over samples 1-6", true,
         {{QStringLiteral("输入有功电量"), QStringLiteral("0.01000")},
          {QStringLiteral("功率因数"), QStringLiteral("0.800 C")},
          {QStringLiteral("低于空载时间"), QStringLiteral("0.00")},
          {QStringLiteral("发电时间"), QStringLiteral("0.00")}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route);
        MainWindowRig rig;
        const QString file = rig.path("motor.MTQ");
        ASSERT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), file));
        rig.window->openPath(file);
        if (c.fromTrend) {
            rig.window->mnuTrend->trigger();
            TrendWindow* trend = rig.window->trendWindow();
            ASSERT_NE(trend, nullptr);
            for (int i = 0; i < 1000 && trend->loading(); ++i) QTest::qWait(5);
            trend->setCursorNumbers(6, 1);
            ASSERT_TRUE(trend->assessButton->isEnabled());
            trend->assessButton->click();
        } else {
            rig.window->mnuAssess->trigger();
        }
        AssessmentWindow* w = rig.window->assessmentWindow();
        ASSERT_NE(w, nullptr);
        for (int i = 0; i < 1000 && w->running(); ++i) QTest::qWait(5);
        ASSERT_FALSE(w->running());
        EXPECT_TRUE(rig.messages.shown.empty());
        EXPECT_EQ(w->verdict->text(), verdict);
        std::map<QString, QString> shown;
        for (int r = 0; r < w->table->rowCount(); ++r)
            if (w->table->item(r, 1)) shown[w->table->item(r, 0)->text()] = w->table->item(r, 1)->text();
        std::map<QString, QString> expected = motorRows;
        expected.insert(c.rows.begin(), c.rows.end());
        for (const auto& [label, value] : expected) {
            ASSERT_TRUE(shown.count(label)) << label.toStdString();
            EXPECT_EQ(shown[label], value) << label.toStdString();
        }
    }
}
