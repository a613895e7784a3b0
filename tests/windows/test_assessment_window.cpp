// The motor assessment window as an operator reaches it, from the 分析 menu over the whole measurement and from
// the trend window's 评估此区间 over its cursors A..B: once the run in slices has ended, the verdict and the
// results table read off; on its second page the candidate motors, and a payback once a price is typed in.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <map>

#include "files/side_settings.h"
#include "measurement/codec.h"
#include "platform/qt_paint/pdf_output.h"
#include "printing/savings_table.h"
#include "windows/assessment_window.h"
#include "windows/gui_test_support.h"
#include "windows/savings_page.h"
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

// The same file with a catalogue of one 4-pole 380 V motor beside the program, code 100 ("M-5.5"): 5.5 kW, 11 A,
// 90 %, 4 A, P0 0.25 kW; P_loss = 5.5·(100/90 − 1) = 0.611111, P_K = 0.361111. Samples 1-6 run at P2 5 kW, whose
// 99th percentile makes 5.5 kW the right size: the candidates are this motor and IE3 and IE4 references at 5.5
// and at the installed 10 kW, five rows. Replayed on the six running seconds it draws
// 5 + 0.25 + (5/5.5)²·0.361111 = 5.548439 kW against the measured 6: it saves 6·0.451561 kW·s = 0.000753 kWh.
// A year of 8000 h is 2 400 000 recordings of 12 s: 1806.24 kWh, 1264.37 元 at 0.7 元/kWh; 4000 元 pay back in
// 4000 / 1264.37 = 3.1636 years.
TEST(AssessmentWindowTest, theSecondPageListsTheCandidatesAndATypedPriceGivesItsPayback) {
    MainWindowRig rig;
    QByteArray obj(16 * 6935, '\0');
    char* record = obj.data() + 16 * 99;
    record[0] = 4;
    const float values[5] = {5.5f, 11, 90, 4, 0.25f};
    for (int i = 0; i < 5; ++i) {
        const auto t = EncodeTriple(values[i]);
        for (int b = 0; b < 3; ++b) record[1 + 3 * i + b] = static_cast<char>(t[static_cast<size_t>(b)]);
    }
    const std::pair<const char*, QByteArray> files[] = {{"MTALL.OBJ", obj}, {"bmindex.txt", "1,100,M-5.5\r\n"}};
    for (const auto& [name, bytes] : files) {
        QFile f(rig.path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const QString file = rig.path("motor.MTQ");
    ASSERT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), file));
    rig.window->openPath(file);
    rig.window->mnuAssess->trigger();
    AssessmentWindow* w = rig.window->assessmentWindow();
    ASSERT_NE(w, nullptr);
    const auto waitForTheRun = [w] {
        for (int i = 0; i < 1000 && w->running(); ++i) QTest::qWait(5);
        ASSERT_FALSE(w->running());
    };
    waitForTheRun();
    w->pages->setCurrentWidget(w->savingsPage);
    QTableWidget* t = w->savingsPage->candidateTable;
    const auto rowOf = [t](const QString& model) {
        for (int r = 0; r < t->rowCount(); ++r)
            if (t->item(r, 1) && t->item(r, 1)->text() == model) return r;
        return -1;
    };
    ASSERT_EQ(t->rowCount(), 5);
    int row = rowOf(QStringLiteral("M-5.5"));
    ASSERT_GE(row, 0);
    const std::pair<int, QString> before[] = {{2, "5.5"}, {6, "0.000753"}, {7, "1806"}, {8, "1264"}, {10, "90.91"},
                                              {kCandidatePaybackColumn, "—"}};
    for (const auto& [column, text] : before) EXPECT_EQ(t->item(row, column)->text(), text) << column;

    t->setFocus();
    t->setCurrentCell(row, kCandidatePriceColumn);
    t->editItem(t->item(row, kCandidatePriceColumn));
    auto* editor = t->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("4000"));
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor hands its text over from the event loop, and the run follows; its end fills the table anew.
    const auto payback = [&] {
        row = rowOf(QStringLiteral("M-5.5"));
        return row < 0 ? QString() : t->item(row, kCandidatePaybackColumn)->text();
    };
    const auto waiting = [&] {
        return w->running() || payback() == QStringLiteral("—") || payback() == QStringLiteral("…");
    };
    for (int i = 0; i < 1000 && waiting(); ++i) QTest::qWait(5);
    EXPECT_TRUE(rig.messages.shown.empty());
    ASSERT_GE(row, 0);
    EXPECT_EQ(t->item(row, kCandidatePriceColumn)->text(), QStringLiteral("4000"));
    EXPECT_EQ(t->item(row, kCandidatePaybackColumn)->text(), QStringLiteral("3.164"));
    EXPECT_EQ(lastSavingsChoices(rig.dir.path()).motorPrices[QStringLiteral("100")], 4000.0);
}

// 比较…: the measurement shown stands after the change, the chosen file's samples 9-12 (generating only) before it;
// the page printed holds both verdicts (worked out above).
TEST(AssessmentWindowTest, compareAssessesTheChosenSpanAndPrintsBothVerdicts) {
    MainWindowRig rig;
    const QString file = rig.path("motor.MTQ"), other = rig.path("before.MTQ"), pdf = rig.path("both.pdf");
    for (const QString& to : {file, other})
        ASSERT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), to));
    rig.window->openPath(file);
    rig.window->mnuAssess->trigger();
    AssessmentWindow* w = rig.window->assessmentWindow();
    ASSERT_NE(w, nullptr);
    for (int i = 0; i < 1000 && w->running(); ++i) QTest::qWait(5);
    ASSERT_TRUE(w->compareButton->isEnabled());
    rig.dialogs.answers = {other};
    w->askCompare = [](const AssessedFile& f, QWidget*) {
        EXPECT_EQ(f.samples, 12);
        return std::optional<CompareChoice>(CompareChoice{9, 12, true});
    };
    w->openOutput = [&](const QString& name) -> Result<std::unique_ptr<PrintOutput>> {
        Result<std::unique_ptr<PdfOutput>> out = PdfOutput::open(pdf, name);
        if (!out) return out.status();
        return std::unique_ptr<PrintOutput>(std::move(*out));
    };
    w->compareButton->click();
    for (int i = 0; i < 1000 && w->comparing(); ++i) QTest::qWait(5);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(w->status->text(), QStringLiteral("对比报告已打印"));
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(60000));
    const QString t = QString::fromUtf8(text.readAllStandardOutput()).remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_TRUE(t.contains(QStringLiteral("改造前结论：电动机在此区间没有稳定运行的数据（起动0.0s，低于空载0.0s，发电4.0s）")))
        << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("改造后结论：经济运行：综合效率80.3%"))) << t.toStdString();
}
