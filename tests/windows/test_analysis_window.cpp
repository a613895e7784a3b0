// The analysis window driven as an operator drives it: opened from the main window, the pass in slices,
// curve rotation, record queries with corrections, the segment menu, the page slider, closing.
#include <gtest/gtest.h>

#include <QAction>
#include <climits>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "measurement/writer.h"
#include "platform/fake/recording_surface.h"
#include "windows/analysis_window.h"
#include "windows/print_window.h"
#include "platform/qt_widgets/picture_box.h"
#include "windows/gui_test_support.h"
#include "support/status_matchers.h"

using namespace mervo;
using namespace mervo::test;

namespace {

// A measurement of n samples over n / 10 seconds: 10 A, 230 V, 2 kW on each channel with a slow swing.
void writeMeasurement(const QString& path, int n, std::array<float, 7> nameplate = {4, 4, 8.5f, 80, 4, 0.2f, 380}) {
    WorkingFileWriter w;
    FileHeader h;
    h.StartTime = 36000;
    h.TotalTime = n / 10.0f;
    h.nameplate = nameplate;
    h.channels = {1, 1, 1};
    ASSERT_TRUE(w.create(path, h));
    std::array<float, 12> mx{}, mn{};
    mx.fill(-100000);
    mn.fill(100000);
    for (int i = 0; i < n; ++i) {
        const float p = 1.5f + 0.5f * std::sin(i * 0.01f);
        const float s[9] = {-10, 230, p, -10, 231, p, -10, 229, p};
        EXPECT_TRUE(test::succeeded(w.appendSample(s)));
        for (int k = 0; k < 9; ++k) {
            mx[k] = std::max(mx[k], std::fabs(s[k]));
            mn[k] = std::min(mn[k], std::fabs(s[k]));
        }
    }
    mx[2] = 3 * 2.0f;
    mn[2] = 3 * 1.0f;
    mx[8] = 1;
    mn[8] = 0.4f;
    EXPECT_TRUE(test::succeeded(w.appendTrailer(mx, mn)));
}

bool waitPass(AnalysisWindow* a) {
    for (int i = 0; i < 2000 && a->analysing(); ++i) QTest::qWait(5);
    return !a->analysing();
}

class AnalysisWindowTest : public ::testing::Test {
protected:
    AnalysisWindow* open(int samples, std::array<float, 7> nameplate = {4, 4, 8.5f, 80, 4, 0.2f, 380}) {
        writeMeasurement(rig.path("m.MTQ"), samples, nameplate);
        rig.dialogs.answers = {rig.path("m.MTQ")};
        rig.window->mnuFileOpen->trigger();
        rig.window->show();
        rig.window->Command2->click();
        return rig.window->analysisWindow();
    }
    MainWindowRig rig;
};

// Without usable motor data the frame's caption turns red; its labels and units keep their black.
TEST_F(AnalysisWindowTest, onlyTheMotorFramesCaptionTurnsRed) {
    AnalysisWindow* a = open(200, {0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(waitPass(a));
    EXPECT_EQ(a->Frame5->palette().color(QPalette::WindowText), QColor(Qt::red));
    for (int b : {16, 17, 18})
        for (QLabel* l : {a->Label1[b], a->Label2[b]})
            EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(Qt::black)) << l->text().toStdString();
}

TEST_F(AnalysisWindowTest, opensFromTheMainWindowAndAnalysesInSlices) {
    AnalysisWindow* a = open(3000);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_TRUE(a->isVisible());
    EXPECT_TRUE(a->windowTitle().startsWith(QStringLiteral("MERVO 电能综合测试仪_数据分析[")));
    ASSERT_TRUE(a->analysing());
    EXPECT_FALSE(a->Command1->isEnabled());
    EXPECT_FALSE(a->Command2->isEnabled());
    EXPECT_FALSE(a->Command3->isEnabled());
    EXPECT_FALSE(a->mnuF3->isEnabled()) << "no pop-up before the pass has ended";
    // Ten presses of the curve button during the pass come back to the first curve.
    const int first = a->CurrentCurve();
    for (int i = 0; i < 10; ++i) {
        a->Command4->click();
        EXPECT_TRUE(a->Picture2[(first + i + 1) % 10]->isVisibleTo(a));
    }
    EXPECT_EQ(a->CurrentCurve(), first);
    ASSERT_TRUE(waitPass(a));
    EXPECT_EQ(a->Text1->text(), QStringLiteral("3000"));
    EXPECT_EQ(a->Label1[13]->text(), QStringLiteral("共 3000 组"));
    EXPECT_TRUE(a->HScroll1->isVisibleTo(a));
    EXPECT_FALSE(a->HScroll2->isVisibleTo(a));
    EXPECT_TRUE(a->Command3->isEnabled());
    EXPECT_TRUE(a->mnuF3->isEnabled());
    EXPECT_EQ(a->Frame5->title(), QStringLiteral("电动机运行数据"));
    EXPECT_FALSE(a->Picture1[17]->shownText().isEmpty()) << "the panel ran along with the pass";
}

// The first time line (x = 0) is solid; a frame painted over the drawing's first column used to hide it.
TEST_F(AnalysisWindowTest, theSolidTimeLineAtZeroShowsInsideTheBoxFrame) {
    AnalysisWindow* a = open(200);
    ASSERT_TRUE(waitPass(a));
    for (PictureBox* box : {a->Picture2[0], a->Picture2[8]}) {
        // The box stands at (600, 480) twips of its frame, that is (40, 32) pixels; its drawing begins inside
        // the box's own frame.
        const int f = PictureBox::kFramePx;
        EXPECT_EQ(box->pos(), QPoint(40, 32));
        const QImage shown = box->grab().toImage();
        // The line runs from y = 200 to y = 1600 twips: rows 14 to 106 of the drawing area, in black.
        for (int row = 14; row <= 106; ++row) {
            ASSERT_EQ(shown.pixel(f, f + row), qRgb(0, 0, 0)) << "row " << row;
            ASSERT_NE(shown.pixel(f - 1, f + row), qRgb(0, 0, 0)) << "the frame lies outside the drawing";
        }
    }
}

// Tick labels read at their grid lines: a value label once sank 5 to 7 pixels below its line, a time label stood
// some 10 pixels left of its line.
TEST_F(AnalysisWindowTest, tickLabelsStandAtTheirGridLines) {
    AnalysisWindow* a = open(200);  // 20 s: time lines every 2 s; I1 a steady 10 A: axis 10 to 11.00001 by 0.2
    ASSERT_TRUE(waitPass(a));
    ASSERT_EQ(a->CurrentCurve(), 0);
    const QImage shown = a->Frame3->grab().toImage();
    const QPoint drawing = a->Picture2[0]->pos() + QPoint(PictureBox::kFramePx, PictureBox::kFramePx);
    // The rows or columns of a label's dark pixels, first and last.
    const auto ink = [&](const QRect& r, bool rows) {
        int first = INT_MAX, last = INT_MIN;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (qGray(shown.pixel(x, y)) < 100) {
                    first = std::min(first, rows ? y : x);
                    last = std::max(last, rows ? y : x);
                }
        return std::make_pair(first, last);
    };
    const double values[] = {10, 10.2, 10.4, 10.6, 10.8, 11};
    for (int j = 0; j < 6; ++j) {
        ASSERT_TRUE(a->Label5[j]->isVisible()) << j;
        // Left of the box only: the box's frame is no ink of the label.
        const QRect r = a->Label5[j]->geometry().intersected(QRect(0, 0, drawing.x() - 3, shown.height()));
        const auto [top, bottom] = ink(r, true);
        ASSERT_LE(top, bottom) << "no text in label " << j;
        const double line = drawing.y() + (1600 - 1400 * (values[j] - 10) / 1.00001) / 15;
        EXPECT_NEAR((top + bottom) / 2.0, line, 2.5) << "value label " << j;
    }
    for (int j = 0; j <= 10; ++j) {
        ASSERT_TRUE(a->Label7[j]->isVisible()) << j;
        const QRect r = a->Label7[j]->geometry().intersected(QRect(0, drawing.y() + 122, shown.width(), 40));
        const auto [left, right] = ink(r, false);
        ASSERT_LE(left, right) << "no text in label " << j;
        const double line = drawing.x() + 6000.0 * (2 * j) / 20 / 15;
        EXPECT_NEAR((left + right) / 2.0, line, 2.5) << "time label " << j;
    }
}

TEST_F(AnalysisWindowTest, queriesAreCorrectedOrRefused) {
    AnalysisWindow* a = open(200);
    ASSERT_TRUE(waitPass(a));
    struct Case {
        const char* typed;
        const char* shown;
        bool refused;
    } cases[] = {{"0", "1", false}, {"-5", "1", false}, {"999", "200", false}, {"57", "57", false},
                 {"abc", "abc", true}, {"3.5", "3.5", true}};
    for (const Case& c : cases) {
        rig.messages.shown.clear();
        a->Text1->setText(QString::fromLatin1(c.typed));
        a->Command3->click();
        EXPECT_EQ(a->Text1->text(), QString::fromLatin1(c.shown)) << c.typed;
        EXPECT_EQ(rig.messages.shown.size(), c.refused ? 1u : 0u) << c.typed;
    }
    a->Text1->setText(QStringLiteral("57"));
    a->Command3->click();
    EXPECT_EQ(a->HScroll1->value(), 57);
    EXPECT_FALSE(a->Picture1[0]->shownText().isEmpty());
    // The slider queries the record it points at.
    a->HScroll1->setValue(120);
    EXPECT_EQ(a->Text1->text(), QStringLiteral("120"));
}

TEST_F(AnalysisWindowTest, segmentMenuSetsTheWidthAndMovesTheCheckMark) {
    AnalysisWindow* a = open(200);
    ASSERT_TRUE(waitPass(a));
    a->mnu20->trigger();
    EXPECT_EQ(rig.state.settings.SegmentCount, 20.0f);
    EXPECT_TRUE(a->mnu20->isChecked());
    EXPECT_FALSE(a->mnu5->isChecked());
    a->mnu10->trigger();
    EXPECT_EQ(rig.state.settings.SegmentCount, 10.0f);
    EXPECT_TRUE(a->mnu10->isChecked());
    EXPECT_FALSE(a->mnu20->isChecked());
}

// Back in the main window, its panel shows what it showed before the analysis, not the analysis's figures
// (energies in W·h under kWh labels).
TEST_F(AnalysisWindowTest, closingGoesBackToTheMainWindowAndItsOwnPanel) {
    writeMeasurement(rig.path("m.MTQ"), 100);
    rig.window->openPath(rig.path("m.MTQ"));
    rig.state.live.LiveValues = {12.5f, 380, 4.75f, 12.5f, 381, 4.75f, 12.5f, 379, 0.85f, 16.8f, 0.029f, 0.018f};
    rig.window->show();
    rig.window->Picture1_Paint();
    QStringList before;
    for (PictureBox* p : rig.window->Picture1) before << p->shownText();
    rig.window->Command2->click();
    AnalysisWindow* a = rig.window->analysisWindow();
    ASSERT_TRUE(waitPass(a));
    a->Command1->click();
    settle();
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_EQ(rig.window->analysisWindow(), nullptr);
    QStringList after;
    for (PictureBox* p : rig.window->Picture1) after << p->shownText();
    EXPECT_EQ(after.mid(0, 12), before.mid(0, 12));
}

TEST_F(AnalysisWindowTest, f12EndsTheProgramEvenDuringThePass) {
    AnalysisWindow* a = open(20000);
    ASSERT_TRUE(a->analysing());
    QTest::keyClick(a, Qt::Key_F12);
    EXPECT_EQ(rig.endProgramCalls, 1);
}

// The end key works wherever the operator has put the focus, in every window of the program.
TEST_F(AnalysisWindowTest, f12EndsTheProgramWhateverControlHasTheFocus) {
    AnalysisWindow* a = open(200);
    ASSERT_TRUE(waitPass(a));
    rig.window->mnuLJtime->trigger();
    rig.window->mnuMOTO->trigger();
    rig.window->mnuHE->trigger();
    a->mnuPr->trigger();
    auto find = [](const char* className) -> QWidget* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits(className)) return w;
        return nullptr;
    };
    auto child = [&](const char* className, const char* name) -> QWidget* {
        QWidget* top = find(className);
        return top ? top->findChild<QWidget*>(QLatin1String(name)) : nullptr;
    };
    const struct {
        const char* where;
        QWidget* control;
        Qt::KeyboardModifiers modifiers;
        int ends;
    } cases[] = {
        {"analysis: record number", a->Text1, {}, 1},
        {"analysis: record number, Shift held", a->Text1, Qt::ShiftModifier, 0},
        {"analysis: record slider", a->HScroll1, {}, 1},
        {"settings: hours", child("mervo::SettingsWindow", "Text1"), {}, 1},
        {"motor: category list", child("mervo::MotorWindow", "List1"), {}, 1},
        {"help: the notes", child("mervo::HelpWindow", "OLE1"), {}, 1},
        {"print: organisation", child("mervo::PrintWindow", "Text3"), {}, 1},
        {"print: organisation, Ctrl held", child("mervo::PrintWindow", "Text3"), Qt::ControlModifier, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        ASSERT_NE(c.control, nullptr);
        rig.endProgramCalls = 0;
        c.control->setFocus();
        QTest::keyClick(c.control, Qt::Key_F12, c.modifiers);
        EXPECT_EQ(rig.endProgramCalls, c.ends);
    }
}

TEST_F(AnalysisWindowTest, longMeasurementsShowThePageSliderAndReachTheLastRecord) {
    AnalysisWindow* a = open(40000);
    ASSERT_TRUE(waitPass(a));
    ASSERT_TRUE(a->HScroll2->isVisibleTo(a));
    EXPECT_EQ(a->HScroll2->maximum(), 2);
    a->HScroll2->setValue(2);
    EXPECT_EQ(a->HScroll1->maximum(), 40000 - 32767);
    a->HScroll1->setValue(a->HScroll1->maximum());
    EXPECT_EQ(a->Text1->text(), QStringLiteral("40000"));
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(AnalysisWindowTest, aMeasurementWithoutSamplesIsExplainedAndTheWindowStaysUsable) {
    AnalysisWindow* a = open(0);
    EXPECT_FALSE(a->analysing());
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].title.endsWith(QStringLiteral("！！！")));
    EXPECT_TRUE(a->Command1->isEnabled());
    EXPECT_TRUE(a->Command2->isEnabled());
    EXPECT_FALSE(a->Command3->isEnabled());
}

TEST_F(AnalysisWindowTest, anInterruptedRecordingIsOfferedForRecoveryAgainBeforeTheAnalysis) {
    // What a receive killed mid-block leaves: 300 whole samples, part of one more, no trailer. The operator
    // declines recovery when opening it, then starts the analysis.
    const QString path = rig.path("cut.MTQ");
    const struct {
        MessageAnswer answer;
        bool analysed;
        const char* lastSays;
    } cases[] = {
        {MessageAnswer::Yes, true, "数据文件已恢复，共 300 组数据，测量时间 30 秒。"},
        {MessageAnswer::No, false, "不是完整的数据组"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer == MessageAnswer::Yes ? "recovered" : "declined");
        writeMeasurement(path, 300);
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.resize(48 + 300 * 36 + 14));
        }
        rig.messages.shown.clear();
        rig.messages.answers = {MessageAnswer::No, c.answer};
        rig.dialogs.answers = {path};
        rig.window->mnuFileOpen->trigger();
        rig.window->show();
        rig.window->Command2->click();
        AnalysisWindow* a = rig.window->analysisWindow();
        ASSERT_NE(a, nullptr);
        ASSERT_TRUE(waitPass(a));
        ASSERT_EQ(rig.messages.shown.size(), 3u);
        for (int i : {0, 1}) {
            EXPECT_EQ(rig.messages.shown[i].title, QStringLiteral("数据恢复！！！"));
            EXPECT_TRUE(rig.messages.shown[i].text.contains(QStringLiteral("300 组完整的数据")));
        }
        EXPECT_TRUE(rig.messages.shown[2].text.contains(QString::fromUtf8(c.lastSays)))
            << rig.messages.shown[2].text.toStdString();
        EXPECT_EQ(a->Command3->isEnabled(), c.analysed);
        if (c.analysed) {
            EXPECT_EQ(a->Text1->text(), QStringLiteral("300"));
        }
        a->Command1->click();
        QTest::qWait(10);
    }
}

}  // namespace

namespace {

// A print output that draws on a recording surface the test keeps after the output is gone.
struct KeptOutput : PrintOutput {
    explicit KeptOutput(RecordingSurface& p) : page(p) {}
    RecordingSurface& page;
    Surface& surface() override { return page; }
    Status finish() override { return {}; }
    void abandon() override {}
};

// What the analysis window shows of every curve: its value and time labels where they stand.
QStringList labelsOfEveryCurve(AnalysisWindow* a) {
    QStringList shown;
    for (int k = 0; k < kCurves; ++k) {
        a->Command4->click();
        for (QLabel* l : a->Label5)
            if (l->isVisibleTo(a)) shown << QStringLiteral("%1@%2").arg(l->text()).arg(l->y());
        for (QLabel* l : a->Label7)
            if (l->isVisibleTo(a)) shown << QStringLiteral("%1@%2").arg(l->text()).arg(l->x());
    }
    return shown;
}

}  // namespace

// Choosing print again (here with Ctrl+P) while its window is open puts the window back at 1000, 1000 twips (67, 67 pixels)
// and keeps what was typed.
TEST_F(AnalysisWindowTest, printAgainPutsTheOpenPrintWindowBackWithItsFields) {
    AnalysisWindow* a = open(200);
    ASSERT_TRUE(waitPass(a));
    a->mnuPr->trigger();
    PrintWindow* print = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PrintWindow*>(w)) print = p;
    ASSERT_NE(print, nullptr);
    print->move(300, 250);
    print->Text3->setText(QStringLiteral("电机试验站"));
    QTest::keySequence(a, QKeySequence(Qt::CTRL | Qt::Key_P));  // the desktop's key for the print entry
    EXPECT_EQ(print->pos(), QPoint(67, 67));
    EXPECT_EQ(print->Text3->text(), QStringLiteral("电机试验站"));
}

// The report draws its own axes (the voltage chart spans all three channels); printing it must not move the
// window's labels away from the grids its curves are drawn on.
TEST_F(AnalysisWindowTest, printingTheReportLeavesTheCurvesAndTheirLabelsAsTheyWere) {
    AnalysisWindow* a = open(200);
    ASSERT_TRUE(waitPass(a));
    const QStringList before = labelsOfEveryCurve(a);
    const auto liveBefore = rig.state.live;
    a->mnuPr->trigger();
    PrintWindow* print = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PrintWindow*>(w)) print = p;
    ASSERT_NE(print, nullptr);
    RecordingSurface page;
    print->openOutput = [&](const QString&) -> Result<std::unique_ptr<PrintOutput>> {
        return std::unique_ptr<PrintOutput>(std::make_unique<KeptOutput>(page));
    };
    print->Check1->setChecked(true);
    print->Command2->click();
    EXPECT_FALSE(page.lines().empty()) << "the report was drawn";
    EXPECT_EQ(labelsOfEveryCurve(a), before);
    EXPECT_EQ(rig.state.live.LiveMax, liveBefore.LiveMax);
    EXPECT_EQ(rig.state.live.LiveMin, liveBefore.LiveMin);
}
