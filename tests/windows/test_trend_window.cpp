// The trend window as an operator uses it: opened on a measurement with Ctrl+T, the cursors typed in by sample
// number, the interval table read off; Ctrl+click on a sample queries it in the analysis window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <map>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <qcustomplot.h>

#include "acquisition/instrument_sim.h"
#include "files/side_settings.h"
#include "measurement/sidecar.h"
#include "measurement/reader.h"
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
    if (!QFile::exists(file)) {  // a restarted program opens the same file again
        EXPECT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), file));
    }
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

// A block of the instrument with I1 (and the other currents) at `amps`, lagging.
QByteArray blockWithCurrent(float amps) {
    const auto b = encodeBlock({-amps, 230, 2, -amps, 230, 2, -amps, 230, 2});
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()));
}

template <class Done>
bool waitFor(Done done) {
    for (int i = 0; i < 400 && !done(); ++i) QTest::qWait(5);
    return done();
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
    ASSERT_NE(w->source(), nullptr);
    ASSERT_EQ(w->source()->size(), 12);
    const struct {
        int a, b;
        std::map<QString, QStringList> rows;
    } cases[] = {
        // Samples 5-8, a second each: two at 6 kW, two at 0.45 kW, 12.9 kW·s = 0.0035833 kWh. The load rate over
        // the two where the motor runs.
        {5, 8, {{QStringLiteral("A 数据号"), {"5"}}, {QStringLiteral("B 数据号"), {"8"}},
                {QStringLiteral("Δt (s)"), {"4"}}, {QStringLiteral("数据组数"), {"4"}},
                {QStringLiteral("ΣP (kW)"), {"3.225", "0.45", "6"}}, {QStringLiteral("I1 (A)"), {"5.5", "1", "10"}},
                {QStringLiteral("有功电量 (kWh)"), {"0.003583333"}},
                {QStringLiteral("负载率 (%)"), {"50", "50", "50"}},
                {QStringLiteral("低于空载时间 (s)"), {"2"}}, {QStringLiteral("发电时间 (s)"), {"0"}}}},
        // The whole file: its 12 s and the analysis's 3.5833 W·h.
        {1, 12, {{QStringLiteral("Δt (s)"), {"12"}}, {QStringLiteral("有功电量 (kWh)"), {"0.003583333"}}}},
    };
    for (const auto& c : cases) {
        typeNumber(w->cursorA, c.a);
        typeNumber(w->cursorB, c.b);
        std::map<QString, QStringList> rows;
        for (int r = 0; r < w->table->rowCount(); ++r) {
            QStringList cells;
            for (int k = 1; k < 4; ++k)
                if (w->table->item(r, k)) cells << w->table->item(r, k)->text();
            rows[w->table->item(r, 0)->text()] = cells;
        }
        for (const auto& [label, cells] : c.rows) {
            ASSERT_TRUE(rows.count(label)) << label.toStdString();
            EXPECT_EQ(rows[label], cells) << c.a << "-" << c.b << " " << label.toStdString();
        }
    }

    // The table as CSV for a spreadsheet.
    rig.dialogs.answers = {rig.path("interval.csv")};
    w->exportButton->click();
    QFile csv(rig.path("interval.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.value(0), QStringLiteral("项目,区间值,最小,最大"));
    EXPECT_TRUE(lines.contains(QStringLiteral("数据组数,12,,"))) << lines.join(QLatin1Char('|')).toStdString();
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

// The fixture with a gap of 90 s after sample 6: every panel shades 6 s to 96 s with no line across it, sample 7
// lies at 97 s on the time axis, and a Ctrl+click there queries it with that time.
TEST(TrendWindowTest, AGapOfTheReceiveIsShadedAndMovesTheSamplesAfterIt) {
    MainWindowRig rig;
    MeasurementReader fixture;
    ASSERT_TRUE(fixture.open(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ")));
    QFile side(rig.path("motor.MTQ.side"));
    ASSERT_TRUE(side.open(QIODevice::WriteOnly));
    side.write(QStringLiteral(R"({"start_time": %1, "gaps": [{"after_sample": 6, "seconds": 90}]})")
                   .arg(static_cast<double>(fixture.info().header.StartTime), 0, 'g', 17)
                   .toUtf8());
    side.close();
    TrendWindow* w = openTrendOnFixture(rig);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->source() && w->source()->size() == 12);
    for (QCustomPlot* panel : w->plots->panels) {
        ASSERT_EQ(panel->itemCount(), 4) << "three lines and one band";
        auto* band = qobject_cast<QCPItemRect*>(panel->item(3));
        ASSERT_NE(band, nullptr);
        EXPECT_EQ(band->topLeft->coords().x(), 6.0);
        EXPECT_EQ(band->bottomRight->coords().x(), 96.0);
    }
    w->plots->redrawNow();
    const auto line = w->plots->panels[0]->graph(0)->data();
    const auto across = line->findBegin(51.0, false);
    ASSERT_NE(across, line->constEnd());
    EXPECT_EQ(across->key, 51.0);
    EXPECT_TRUE(std::isnan(across->value)) << "no line drawn across the gap";
    EXPECT_EQ(w->source()->time(6), 97.0);
    rig.window->mnuDAT->trigger();
    AnalysisWindow* a = rig.window->analysisWindow();
    ASSERT_NE(a, nullptr);
    for (int i = 0; i < 1000 && !a->analysed(); ++i) QTest::qWait(5);
    w->show();
    QCustomPlot* panel = w->plots->panels[0];
    w->plots->redrawNow();
    QTest::mouseClick(panel, Qt::LeftButton, Qt::ControlModifier,
                      QPoint(static_cast<int>(panel->xAxis->coordToPixel(97.0)), panel->height() / 2));
    EXPECT_EQ(a->Text1->text(), QStringLiteral("7"));
    EXPECT_EQ(rig.state.file.ElapsedTime, 97.0f);
}

// A receive in progress is shown through the same source as a file: its blocks with their numbers, held still
// by 冻结 while recording goes on, and once it ends, the file it wrote.
TEST(TrendWindowTest, FollowsAReceiveThenShowsItsFile) {
    MainWindowRig rig;
    MainWindow& w = *rig.window;
    w.Command3->click();  // 手动接收
    for (float amps : {11.0f, 12.0f, 13.0f}) {
        rig.clock.advance(1);
        rig.port.deliver(blockWithCurrent(amps));
    }
    w.mnuTrend_Click();
    TrendWindow* t = w.trendWindow();
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(waitFor([t] { return t->source() && t->source()->size() == 3; }));
    EXPECT_TRUE(t->following());
    EXPECT_EQ(t->source()->firstNumber, 1);
    for (int64_t i = 0; i < 3; ++i)
        EXPECT_EQ(t->source()->value(TrendQuantity::I1, i), 11.0f + static_cast<float>(i));

    t->freeze->setChecked(true);
    rig.clock.advance(1);
    rig.port.deliver(blockWithCurrent(14));
    QTest::qWait(250);
    EXPECT_EQ(t->source()->size(), 3) << "held while frozen";
    t->freeze->setChecked(false);
    ASSERT_TRUE(waitFor([t] { return t->source()->size() == 4; }));
    EXPECT_EQ(t->source()->value(TrendQuantity::I1, 3), 14.0f);

    w.Command4->click();  // 终止接收; not saved
    settle();
    ASSERT_TRUE(waitFor([t] { return !t->following() && !t->loading(); }));
    EXPECT_EQ(t->windowTitle(), QStringLiteral("趋势分析 — TEMP.MTX"));
    ASSERT_NE(t->source(), nullptr);
    EXPECT_EQ(t->source()->size(), 4);
    EXPECT_EQ(t->source()->value(TrendQuantity::I1, 3), 14.0f);
}

// A marker set by a double click on the time axis is kept beside the file at once, under the receive's name for
// it; its text is edited in the side list, a click there moves cursor A to it, and deleting it leaves no sidecar.
TEST(TrendWindowTest, MarkersSetEditedAndDeletedInTheWindowAreKeptBesideTheFile) {
    MainWindowRig rig;
    TrendWindow* w = openTrendOnFixture(rig);
    ASSERT_TRUE(w && w->source() && w->source()->size() == 12);
    w->show();
    w->plots->redrawNow();
    QCustomPlot* axis = w->plots->panels[4];  // the lowest, with the time labels
    const QString file = rig.path("motor.MTQ");
    const auto kept = [&] {
        const Result<Sidecar> side = readSidecar(file, w->source()->startClock);
        return side ? side->markers : std::vector<Marker>{{-1, QStringLiteral("unreadable")}};
    };
    QTest::mouseDClick(axis, Qt::LeftButton, Qt::NoModifier,
                       QPoint(static_cast<int>(axis->xAxis->coordToPixel(5.0)), axis->axisRect()->bottom() + 6));
    EXPECT_EQ(kept(), (std::vector<Marker>{{5, QStringLiteral("标记 1")}}));
    ASSERT_EQ(w->markerList->count(), 1);

    w->markerList->item(0)->setText(QStringLiteral("改造前"));
    settle();
    EXPECT_EQ(kept(), (std::vector<Marker>{{5, QStringLiteral("改造前")}}));
    QTest::mouseClick(w->markerList->viewport(), Qt::LeftButton, Qt::NoModifier,
                      w->markerList->visualItemRect(w->markerList->item(0)).center());
    EXPECT_EQ(w->cursorA->value(), 5);

    w->markerList->setCurrentRow(0);
    w->deleteMarkerButton->click();
    EXPECT_TRUE(kept().empty());
    EXPECT_FALSE(QFile::exists(sidecarPath(file)));
    EXPECT_EQ(w->markerList->count(), 0);
}

// A typed cursor number outside the measurement is said and the cursor stays, instead of moving to the end.
TEST(TrendWindowTest, ACursorNumberOutsideTheFileIsSaidNotClamped) {
    MainWindowRig rig;
    TrendWindow* w = openTrendOnFixture(rig);
    ASSERT_TRUE(w && w->source() && w->source()->size() == 12);
    typeNumber(w->cursorA, 4);
    typeNumber(w->cursorA, 40);
    EXPECT_EQ(w->cursorA->value(), 4);
    EXPECT_EQ(w->plots->cursor(0), 3);
    EXPECT_TRUE(w->status->text().contains(QStringLiteral("40"))) << w->status->text().toStdString();
}

// The view the operator left a file in comes back after the program is started again; a file never shown opens in
// the default view, and 恢复默认视图 forgets the one kept.
TEST(TrendWindowTest, AFilesViewComesBackAfterARestart) {
    MainWindowRig rig;
    TrendWindow* w = openTrendOnFixture(rig);
    ASSERT_TRUE(w && w->source() && w->source()->size() == 12);
    w->panelBoxes[1]->setChecked(false);
    w->timeMode->setCurrentIndex(1);
    w->legendPlace->setCurrentIndex(2);
    w->fixedAxes->setChecked(true);
    w->plots->setValueRange(0, -5, 25);
    w->plots->setView(3, 8);

    rig.window.reset();
    rig.window = std::make_unique<MainWindow>(
        MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, rig.port, rig.dir.path()});
    w = openTrendOnFixture(rig);
    ASSERT_TRUE(w && w->source() && w->source()->size() == 12);
    EXPECT_FALSE(w->panelBoxes[1]->isChecked());
    EXPECT_FALSE(w->plots->panelVisible(1));
    EXPECT_EQ(w->timeMode->currentIndex(), 1);
    EXPECT_EQ(w->legendPlace->currentIndex(), 2);
    EXPECT_FALSE(w->plots->panels[0]->legend->visible());
    EXPECT_TRUE(w->fixedAxes->isChecked());
    EXPECT_EQ(w->plots->valueRange(0), (std::pair<double, double>(-5, 25)));
    EXPECT_EQ(w->plots->viewStart(), 3.0);
    EXPECT_EQ(w->plots->viewEnd(), 8.0);

    // Another file: the default.
    ASSERT_TRUE(QFile::copy(rig.path("motor.MTQ"), rig.path("other.MTQ")));
    rig.window->openPath(rig.path("other.MTQ"));
    ASSERT_TRUE(QTest::qWaitFor([w] { return !w->loading() && w->source() && w->source()->size() == 12; }));
    EXPECT_TRUE(w->panelBoxes[1]->isChecked());
    EXPECT_EQ(w->timeMode->currentIndex(), 0);
    EXPECT_FALSE(w->fixedAxes->isChecked());
    EXPECT_EQ(w->plots->viewStart(), 1.0);

    rig.window->openPath(rig.path("motor.MTQ"));
    ASSERT_TRUE(QTest::qWaitFor([w] { return !w->loading() && w->source() && w->source()->size() == 12; }));
    EXPECT_EQ(w->timeMode->currentIndex(), 1);
    w->defaultViewButton->click();
    EXPECT_EQ(w->timeMode->currentIndex(), 0);
    EXPECT_TRUE(w->panelBoxes[1]->isChecked());
    EXPECT_FALSE(trendView(rig.dir.path(), rig.path("motor.MTQ")).has_value());
}
