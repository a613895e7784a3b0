// The main window driven as an operator drives it: receive, live panel, the end question, files, closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <functional>

#include "acquisition/instrument_sim.h"
#include "measurement/codec.h"
#include "measurement/recovery.h"
#include "measurement/reader.h"
#include "measurement/sidecar.h"
#include "measurement/writer.h"
#include "files/side_settings.h"
#include "platform/file_size_limit.h"
#include "platform/program_dir.h"
#include "platform/pty.h"
#include "platform/qt_core/qt_serial_port.h"
#include "platform/qt_widgets/elided_label.h"
#include "platform/qt_widgets/picture_box.h"
#include "support/control_table.h"
#include "windows/gui_test_support.h"
#include "windows/settings_window.h"
#include "windows/export_window.h"
#include "windows/motor_window.h"
#include "windows/trend_window.h"
#include "support/status_matchers.h"

using namespace mervo;
using namespace mervo::test;

namespace {

QByteArray blockBytes(const BlockValues& v) {
    const auto b = encodeBlock(v);
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()));
}

// Lagging load on three channels: 10 A, 230 V, 2 kW each (S = 2.3 kVA, so Q = -1.136 kvar each).
const BlockValues kLagging{-10, 230, 2, -10, 230, 2, -10, 230, 2};

QStringList panel(MainWindow& w) {
    QStringList out;
    for (PictureBox* p : w.Picture1) out << p->shownText();
    return out;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// At start-up and after a failed receive: both receive buttons, the analysis button off, the file menu's Open and
// the settings menu on.
const ControlStates kIdle = controls("1010 10 100001");

class MainWindowTest : public ::testing::Test {
protected:
    // A manual receive of one block, stopped and saved (Yes) under `name` in the program directory.
    void receiveOneBlockAndSaveAs(const char* name) {
        w.Command3->click();
        rig.port.deliver(blockBytes(kLagging));
        rig.messages.answers = {MessageAnswer::Yes};
        rig.dialogs.answers = {rig.path(name)};
        w.Command4->click();
        settle();
    }

    MainWindowRig rig;
    MainWindow& w = *rig.window;
};

TEST_F(MainWindowTest, startsIdleWithAnEmptyPanel) {
    EXPECT_EQ(w.windowTitle(), QStringLiteral("MERVO　电能综合测试仪 "));
    EXPECT_EQ(w.controlStates(), kIdle);
    w.Picture1_Paint();
    const QStringList p = panel(w);
    for (int n = 0; n < 12; ++n) EXPECT_EQ(p[n], QStringLiteral(" 0.000")) << n;
    for (int n = 12; n < 15; ++n) EXPECT_EQ(p[n], QStringLiteral(" 0 ")) << n;
    EXPECT_EQ(w.Label2[10]->text(), QStringLiteral("L"));
    EXPECT_EQ(rig.state.file.WorkFile, workFilePath(rig.dir.path()));
    EXPECT_TRUE(rig.messages.shown.empty()) << "a missing settings file is not an error";
}

TEST_F(MainWindowTest, manualReceiveShowsEachBlockAndAsksToSaveAtTheEnd) {
    w.Command3->click();
    EXPECT_TRUE(rig.port.isOpen());
    EXPECT_EQ(rig.port.openedDevice, QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(w.controlStates(), controls("0001 01 000000")) << "only the stop button, and no menu";

    rig.clock.advance(3725.25);
    rig.port.deliver(blockBytes(kLagging));
    QStringList p = panel(w);
    EXPECT_EQ(p[0], QStringLiteral(" 10.000"));
    EXPECT_EQ(p[1], QStringLiteral(" 230.000"));
    EXPECT_EQ(p[2], QStringLiteral(" 6.000"));
    EXPECT_EQ(p[5], QStringLiteral(" 3.407")) << "reactive power shown without its sign";
    EXPECT_EQ(p[8], QStringLiteral(" 0.870"));
    EXPECT_EQ(p[9], QStringLiteral(" 6.900"));
    EXPECT_EQ(p[12] + p[13] + p[14], QStringLiteral(" 1  2  5 "));
    EXPECT_EQ(w.Label2[10]->text(), QStringLiteral("L"));

    // Power flowing back: the sign stays on the active power only.
    rig.port.deliver(blockBytes({10, 230, -0.5f, 10, 230, -0.5f, 10, 230, -0.5f}));
    p = panel(w);
    EXPECT_EQ(p[2], QStringLiteral("- 1.500"));
    EXPECT_EQ(p[0], QStringLiteral(" 10.000"));
    // A leading current with power drawn: the indicator turns C.
    rig.port.deliver(blockBytes({10, 230, 2, 10, 230, 2, 10, 230, 2}));
    EXPECT_EQ(w.Label2[10]->text(), QStringLiteral("C"));

    rig.messages.answers = {MessageAnswer::No};
    w.Command4->click();
    settle();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, QStringLiteral("数据接收完成，是否保存？"));
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("数据接收！！！"));
    EXPECT_EQ(rig.messages.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(w.controlStates(), controls("1110 10 111011"));
    EXPECT_FALSE(rig.port.isOpen());
    MeasurementReader r;
    ASSERT_TRUE(r.open(workFilePath(rig.dir.path())));
    EXPECT_TRUE(r.info().complete);
    EXPECT_EQ(r.info().wholeSamples, 3);
}

// A settings window left open when the receive starts may still be used, but its ratios are for the next receive:
// one recording is never scaled two ways.
TEST_F(MainWindowTest, ratiosChangedDuringAReceiveApplyToTheNextOne) {
    w.mnuLJtime->trigger();
    SettingsWindow* settings = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<SettingsWindow*>(top)) settings = s;
    ASSERT_NE(settings, nullptr);
    w.Command3->click();
    rig.port.deliver(blockBytes(kLagging));
    settings->Text4->setText(QStringLiteral("100"));
    settings->Text5->setText(QStringLiteral("10"));
    settings->Command1->click();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("下一次接收"))) << rig.messages.shown[0].text.toStdString();
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("数据接收！！！"));
    rig.port.deliver(blockBytes(kLagging));
    rig.messages.answers = {MessageAnswer::No};
    w.Command4->click();
    settle();

    MeasurementReader r;
    ASSERT_TRUE(test::succeeded(r.open(workFilePath(rig.dir.path()))));
    ASSERT_EQ(r.info().wholeSamples, 2);
    for (int k = 0; k < 2; ++k) {
        float v[9];
        ASSERT_TRUE(test::succeeded(r.readSample(k, v)));
        EXPECT_EQ(v[0], -10.0f) << "sample " << k + 1 << ": current at the starting CT ratio 1";
        EXPECT_EQ(v[1], 230.0f) << "sample " << k + 1;
        EXPECT_EQ(v[2], 2.0f) << "sample " << k + 1;
    }
    EXPECT_EQ(rig.state.settings.CTRatio, 100.0f) << "kept for the next receive";
}

TEST_F(MainWindowTest, answeringYesSavesAByteIdenticalCopy) {
    receiveOneBlockAndSaveAs("run1.MTQ");
    ASSERT_EQ(rig.dialogs.asked.size(), 1u);
    EXPECT_EQ(rig.dialogs.asked[0].title, QStringLiteral("保存"));
    EXPECT_TRUE(rig.dialogs.asked[0].confirmOverwrite);
    EXPECT_EQ(fileBytes(rig.path("run1.MTQ")), fileBytes(rig.path("TEMP.MTX")));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("电能综合测试仪[%1]").arg(rig.path("run1.MTQ")));
    EXPECT_EQ(rig.state.file.WorkFile, rig.path("run1.MTQ"));
    EXPECT_TRUE(*w.controlStates().mnuSAVEFILE);
    EXPECT_FALSE(*w.controlStates().mnuSAVE_AS);

    // A new receive records into the working file again and leaves the saved file alone.
    const QByteArray saved = fileBytes(rig.path("run1.MTQ"));
    w.Command3->click();
    rig.port.deliver(blockBytes(kLagging) + blockBytes(kLagging));
    w.Command4->click();
    settle();
    EXPECT_EQ(fileBytes(rig.path("run1.MTQ")), saved);
    EXPECT_EQ(rig.state.file.WorkFile, workFilePath(rig.dir.path()));
}

TEST_F(MainWindowTest, timedReceiveEndsAtTheSetTimeEvenWithoutBytes) {
    rig.state.file.TotalTime = 2;
    w.Command1->click();
    EXPECT_FALSE(w.Command1->isEnabled());
    EXPECT_FALSE(w.Command3->isEnabled());
    rig.port.deliver(blockBytes(kLagging));
    rig.clock.advance(2.5);
    QTest::qWait(250);  // the poll notices the time
    settle();
    EXPECT_FALSE(w.receive().running());
    ASSERT_FALSE(rig.messages.shown.empty());
    EXPECT_EQ(rig.messages.shown.back().text, QStringLiteral("数据接收完成，是否保存？"));
    EXPECT_EQ(w.controlStates(), controls("1111 10 111011"));
}

// The status line tells the receive's progress and the elapsed time goes on without blocks; Esc ends a timed
// receive early as the stop button ends a manual one, and the file keeps the time it really ran.
TEST_F(MainWindowTest, aTimedReceiveShowsItsProgressAndEndsEarlyOnEsc) {
    rig.state.file.TotalTime = 60;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.Command1->click();
    EXPECT_EQ(w.receiveStatus->text(), QStringLiteral("等待数据……　剩余 0:01:00"));
    rig.clock.advance(0.5);
    rig.port.deliver(blockBytes(kLagging));
    rig.clock.advance(2.5);  // 3 s in, no block since 0.5 s
    QTest::qWait(250);
    EXPECT_TRUE(w.receiveStatus->text().startsWith(QStringLiteral("正在接收　已记录 1 组"))) << w.receiveStatus->text().toStdString();
    EXPECT_TRUE(w.receiveStatus->text().endsWith(QStringLiteral("剩余 0:00:57"))) << w.receiveStatus->text().toStdString();
    EXPECT_EQ(panel(w)[14], QStringLiteral(" 3 ")) << "the seconds box";
    EXPECT_TRUE(w.mnuStopTimed->isEnabled());
    rig.messages.answers = {MessageAnswer::No};
    QTest::keyClick(&w, Qt::Key_Escape);
    settle();
    EXPECT_FALSE(w.receive().running());
    EXPECT_FALSE(w.mnuStopTimed->isEnabled());
    ASSERT_FALSE(rig.messages.shown.empty());
    EXPECT_EQ(rig.messages.shown.back().text, QStringLiteral("数据接收完成，是否保存？"));
    EXPECT_EQ(w.controlStates(), controls("1111 10 111011")) << "as at the set time";
    MeasurementReader r;
    ASSERT_TRUE(test::succeeded(r.open(rig.path("TEMP.MTX"))));
    EXPECT_FLOAT_EQ(r.info().header.TotalTime, 0.5f) << "the time it ran to its last block";
}

TEST_F(MainWindowTest, aPortThatCannotBeOpenedIsNamedAndNothingChanges) {
    rig.port.failOpen = true;
    w.Command3->click();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("错误警告！！！"));
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("COM1")));
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("/dev/ttyS0")));
    EXPECT_EQ(w.controlStates(), kIdle);
    EXPECT_FALSE(QFile::exists(rig.path("TEMP.MTX")));
}

TEST_F(MainWindowTest, unpluggingKeepsEveryBlockTellsTheOperatorAndKeepsRunning) {
    w.Command3->click();
    rig.port.deliver(blockBytes(kLagging) + blockBytes(kLagging) + blockBytes(kLagging).left(10));
    rig.port.unplug(QStringLiteral("the device hung up"));
    settle();
    ASSERT_EQ(rig.messages.shown.size(), 2u);
    EXPECT_TRUE(rig.messages.shown[0].text.startsWith(QStringLiteral("串行口连接中断")));
    EXPECT_EQ(rig.messages.shown[1].text, QStringLiteral("数据接收完成，是否保存？"));
    EXPECT_EQ(rig.endProgramCalls, 0);
    EXPECT_TRUE(w.Command3->isVisible() || !w.isVisible());
    EXPECT_FALSE(w.Command3->isHidden());
    MeasurementReader r;
    ASSERT_TRUE(r.open(workFilePath(rig.dir.path())));
    EXPECT_TRUE(r.info().complete);
    EXPECT_EQ(r.info().wholeSamples, 2);
}

TEST_F(MainWindowTest, aBlockTheArithmeticCannotHoldAbortsAndResets) {
    rig.state.settings.CTRatio = 1e10f;
    w.Command3->click();
    rig.port.deliver(blockBytes({-1e-9f, 230, 2e-10f, 0, 0, 0, 0, 0, 0}));  // 10 A and 2 kW at this ratio
    rig.port.deliver(blockBytes({-9e18f, 9e18f, 1, 0, 0, 0, 0, 0, 0}));
    settle();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, QStringLiteral("其它错误，错误号： 6！"));
    // Nothing of the block that failed is shown: the panel stays on the last good one.
    EXPECT_EQ(panel(w)[0], QStringLiteral(" 10.000"));
    EXPECT_EQ(panel(w)[2], QStringLiteral(" 2.000"));
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("错误警告！！！"));
    EXPECT_EQ(w.controlStates(), kIdle);
    EXPECT_EQ(rig.state.settings.CTRatio, 1.0f) << "settings read again";
}

TEST_F(MainWindowTest, closingDuringAReceiveCompletesTheFileFirst) {
    w.Command3->click();
    rig.clock.advance(1.5);
    rig.port.deliver(blockBytes(kLagging));
    w.close();
    settle();
    EXPECT_EQ(rig.endProgramCalls, 1);
    EXPECT_TRUE(rig.messages.shown.empty()) << "no question on the way out";
    MeasurementReader r;
    ASSERT_TRUE(r.open(workFilePath(rig.dir.path())));
    EXPECT_TRUE(r.info().complete);
    EXPECT_EQ(r.info().header.TotalTime, 1.5f);
}

TEST_F(MainWindowTest, f12WithoutModifiersEndsTheProgram) {
    w.show();
    QTest::keyClick(&w, Qt::Key_F12, Qt::ShiftModifier);
    EXPECT_EQ(rig.endProgramCalls, 0);
    QTest::keyClick(&w, Qt::Key_F12);
    EXPECT_EQ(rig.endProgramCalls, 1);
}

TEST_F(MainWindowTest, openingAFileTakesItsChannelsIntoTheSettings) {
    WorkingFileWriter writer;
    FileHeader h;
    h.TotalTime = 60;
    h.nameplate = {4, 11, 21.5f, 89.5f, 7.2f, 0.45f, 380};
    h.channels = {1, 0, 1};
    ASSERT_TRUE(writer.create(rig.path("old.MTQ"), h));
    std::array<float, 12> mx{}, mn{};
    EXPECT_TRUE(test::succeeded(writer.appendTrailer(mx, mn)));
    EXPECT_TRUE(test::succeeded(writer.close()));

    rig.dialogs.answers = {rig.path("old.MTQ")};
    w.mnuFileOpen->trigger();
    EXPECT_EQ(rig.dialogs.asked.back().title, QStringLiteral("打开"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("电能综合测试仪[%1]").arg(rig.path("old.MTQ")));
    EXPECT_EQ(w.receiveStatus->text(), QStringLiteral("0 组数据　测量 0:01:00　开始 00:00:00　电机 4 极 11 kW"));
    EXPECT_EQ(w.controlStates(), controls("0100 10 110111"));
    EXPECT_EQ(rig.state.settings.WiringCode, 5);
    EXPECT_TRUE(rig.state.motor.MotorDataValid);
    EXPECT_TRUE(fileBytes(rig.path("mervo.dft")).endsWith(" 1\r\n 0\r\n 1\r\n"));

    // Save As copies the opened file; Save stays off.
    rig.dialogs.answers = {rig.path("copy.MTQ")};
    w.mnuSAVE_AS->trigger();
    EXPECT_EQ(fileBytes(rig.path("copy.MTQ")), fileBytes(rig.path("old.MTQ")));
    EXPECT_FALSE(*w.controlStates().mnuSAVEFILE);
    EXPECT_FALSE(*w.controlStates().mnuSet);

    // Close returns to the working file and clears the panel.
    w.mnuCLOSE->trigger();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("电能综合测试仪"));
    EXPECT_EQ(w.receiveStatus->text(), QString());
    EXPECT_EQ(panel(w)[0], QString());
    EXPECT_EQ(w.controlStates(), controls("1011 10 100001"));
}

// The title names the file that Save and the analysis would use: after a cancelled Open, and once a new receive
// records into the working file, that is the working file, whatever was open before.
TEST_F(MainWindowTest, theTitleNamesTheFileInUse) {
    WorkingFileWriter writer;
    ASSERT_TRUE(writer.create(rig.path("a.MTQ"), FileHeader{}));
    EXPECT_TRUE(test::succeeded(writer.appendTrailer({}, {})));
    EXPECT_TRUE(test::succeeded(writer.close()));
    const auto openA = [&] {
        rig.dialogs.answers = {rig.path("a.MTQ")};
        w.mnuFileOpen->trigger();
        return rig.path("a.MTQ");
    };
    const auto receiveAndSave = [&] {
        receiveOneBlockAndSaveAs("run1.MTQ");
        return rig.path("run1.MTQ");
    };
    const struct {
        const char* what;
        std::function<QString()> before;  // names a file in the title
        std::function<void()> act;
    } cases[] = {
        {"a cancelled Open", openA, [&] { w.mnuFileOpen->trigger(); }},
        {"a new receive after a saved one", receiveAndSave, [&] { w.Command3->click(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        w.mnuCLOSE->trigger();
        const QString named = c.before();
        ASSERT_EQ(w.windowTitle(), QStringLiteral("电能综合测试仪[%1]").arg(named));
        c.act();
        EXPECT_EQ(w.windowTitle(), QStringLiteral("电能综合测试仪"));
        EXPECT_TRUE(rig.state.file.WorkFile.isEmpty() || rig.state.file.WorkFile == rig.path("TEMP.MTX"));
    }
}

// The desktop's keys act as the file menu's entries do, and only while those are enabled.
TEST_F(MainWindowTest, ctrlKeysActAsTheFileMenuWhileItsEntriesAreEnabled) {
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));  // a window's keys work in the active window
    const struct {
        QKeySequence keys;
        QAction* entry;
    } cases[] = {{QKeySequence(Qt::CTRL | Qt::Key_O), w.mnuFileOpen},
                 {QKeySequence(Qt::CTRL | Qt::Key_S), w.mnuSAVEFILE},
                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), w.mnuSAVE_AS}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys.toString().toStdString());
        for (bool enabled : {true, false}) {
            c.entry->setEnabled(enabled);
            int triggered = 0;
            const auto connection = QObject::connect(c.entry, &QAction::triggered, [&] { ++triggered; });
            QTest::keySequence(&w, c.keys);
            QObject::disconnect(connection);
            EXPECT_EQ(triggered, enabled ? 1 : 0);
        }
    }
}

// Files opened go to the front of 最近打开的文件, eight at most, which opens them again; a measurement file
// dropped on the window opens as Open would open it.
TEST_F(MainWindowTest, recentFilesAndADroppedFileOpenAsOpenDoes) {
    const auto name = [&](int k) { return rig.path(QStringLiteral("m%1.MTQ").arg(k).toUtf8().constData()); };
    for (int k = 1; k <= 9; ++k) {
        WorkingFileWriter writer;
        ASSERT_TRUE(writer.create(name(k), FileHeader{}));
        EXPECT_TRUE(test::succeeded(writer.appendTrailer({}, {})));
        EXPECT_TRUE(test::succeeded(writer.close()));
        rig.dialogs.answers = {name(k)};
        w.mnuFileOpen->trigger();
    }
    emit w.FILE->aboutToShow();
    const QList<QAction*> entries = w.mnuRecent->actions();
    ASSERT_EQ(entries.size(), 8);
    EXPECT_TRUE(entries.first()->text().endsWith(name(9)));
    EXPECT_TRUE(entries.last()->text().endsWith(name(2)));
    entries.last()->trigger();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("电能综合测试仪[%1]").arg(name(2)));

    w.mnuCLOSE->trigger();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(name(5))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
    settle();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("电能综合测试仪[%1]").arg(name(5)));
}

TEST_F(MainWindowTest, saveAsAfterACancelledOpenAsksForAFile) {
    WorkingFileWriter writer;
    ASSERT_TRUE(writer.create(rig.path("a.MTQ"), FileHeader{}));
    EXPECT_TRUE(test::succeeded(writer.appendTrailer({}, {})));
    EXPECT_TRUE(test::succeeded(writer.close()));
    rig.dialogs.answers = {rig.path("a.MTQ")};
    w.mnuFileOpen->trigger();
    w.mnuFileOpen->trigger();  // the script now cancels
    EXPECT_TRUE(rig.state.file.WorkFile.isEmpty());
    w.mnuSAVE_AS->trigger();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, QStringLiteral("请[打开]一个文件。"));
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("操作错误警告！！！"));
}

TEST_F(MainWindowTest, rightClickOpensTheFileMenu) {
    w.show();
    QTest::mouseClick(w.centralWidget(), Qt::RightButton, {}, QPoint(20, 160));
    EXPECT_TRUE(w.FILE->isVisible());
    w.FILE->close();
    QTest::mouseClick(w.centralWidget(), Qt::LeftButton, {}, QPoint(20, 160));
    EXPECT_FALSE(w.FILE->isVisible());
}

}  // namespace

// A second program started while the first is recording TEMP.MTX: it is told the program is recording, never
// offered to "recover" the file, and neither its receive nor its Save can touch the file.
TEST_F(MainWindowTest, aSecondWindowSeesTheRecordingInProgressAndLeavesItAlone) {
    rig.window.reset();
    const QString temp = workFilePath(rig.dir.path());
    WorkingFileWriter first;  // the first program's receive, holding the file
    FileHeader h;
    h.TotalTime = 2;
    ASSERT_TRUE(test::succeeded(first.create(temp, h)));
    const float s[9] = {10, 230, 2, -10, 230, 2, 10, 230, 2};
    ASSERT_TRUE(test::succeeded(first.appendSample(s)));
    const QByteArray before = fileBytes(temp);
    rig.messages.shown.clear();
    rig.messages.answers = {MessageAnswer::Yes};
    rig.window = std::make_unique<MainWindow>(
        MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, rig.port, rig.dir.path()});
    rig.window->endProgram = [] {};
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].buttons, MessageButtons::Ok) << "nothing is offered";
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("正在记录中"))) << rig.messages.shown[0].text.toStdString();

    struct Attempt {
        const char* what;
        std::function<void()> act;
    } const attempts[] = {
        {"receive", [&] { rig.window->Command3->click(); }},
        {"save onto it", [&] {
             QFile other(rig.path("other.MTQ"));
             ASSERT_TRUE(other.open(QIODevice::WriteOnly));
             other.write(before);
             other.close();
             rig.state.file.WorkFile = rig.path("other.MTQ");
             rig.dialogs.answers = {temp};
             rig.window->mnuSAVEFILE_Click();
         }},
    };
    for (const Attempt& a : attempts) {
        SCOPED_TRACE(a.what);
        rig.messages.shown.clear();
        a.act();
        settle();
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("正在记录中"))) << rig.messages.shown[0].text.toStdString();
        EXPECT_EQ(fileBytes(temp), before);
    }
    EXPECT_FALSE(rig.window->receive().running());
}

TEST_F(MainWindowTest, anInterruptedWorkingFileIsOfferedForRecoveryAtStartUpOnly) {
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        SCOPED_TRACE(answer == MessageAnswer::Yes ? "recover" : "leave");
        rig.window.reset();
        // What a killed program leaves: header, two samples, part of a third.
        const QString temp = workFilePath(rig.dir.path());
        WorkingFileWriter writer;
        FileHeader h;
        h.TotalTime = 2;
        ASSERT_TRUE(writer.create(temp, h));
        const float s[9] = {10, 230, 2, -10, 230, 2, 10, 230, 2};
        ASSERT_TRUE(writer.appendSample(s));
        ASSERT_TRUE(writer.appendSample(s));
        EXPECT_TRUE(test::succeeded(writer.close()));
        {
            QFile f(temp);
            ASSERT_TRUE(f.open(QIODevice::Append));
            f.write(QByteArray(20, '\x01'));
        }
        const QByteArray before = fileBytes(temp);
        rig.messages.shown.clear();
        rig.messages.answers = {answer};
        rig.window = std::make_unique<MainWindow>(
            MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, rig.port, rig.dir.path()});
        rig.window->endProgram = [] {};

        ASSERT_GE(rig.messages.shown.size(), 1u);
        EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("数据恢复！！！"));
        EXPECT_EQ(rig.messages.shown[0].buttons, MessageButtons::YesNo);
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("2 组完整的数据")));
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("20 字节")));
        MeasurementReader r;
        ASSERT_TRUE(r.open(temp));
        if (answer == MessageAnswer::Yes) {
            EXPECT_TRUE(r.info().complete);
            EXPECT_EQ(r.info().wholeSamples, 2);
            EXPECT_EQ(fileBytes(temp).left(48 + 72), before.left(48 + 72));
            ASSERT_EQ(rig.messages.shown.size(), 2u);
        } else {
            EXPECT_EQ(fileBytes(temp), before);
            EXPECT_EQ(rig.messages.shown.size(), 1u);
        }
    }
    // A receive aborted by a bad block leaves an interrupted working file too, but the operator was just told
    // why: no recovery question then.
    MainWindow& again = *rig.window;
    rig.messages.shown.clear();
    rig.state.settings.CTRatio = 1e10f;
    again.Command3->click();
    rig.port.deliver(blockBytes({-9e18f, 9e18f, 1, 0, 0, 0, 0, 0, 0}));
    settle();
    EXPECT_EQ(diagnose(workFilePath(rig.dir.path())).condition, FileCondition::MissingTrailer);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("错误警告！！！"));
}

TEST_F(MainWindowTest, aFullDiskEndsTheReceiveWithAMessageAndTheBlocksWrittenRecover) {
    w.Command3->click();
    // The file may grow to the header and four samples and part of a fifth, as on a disk that fills up.
    test::FileSizeLimit full(4 * (12 + 9 * 4) + 20);
    ASSERT_TRUE(full.active());
    for (int i = 0; i < 7; ++i) rig.port.deliver(blockBytes(kLagging));
    settle();
    full.lift();

    ASSERT_EQ(rig.messages.shown.size(), 1u) << "the error, and no question to save";
    EXPECT_TRUE(rig.messages.shown[0].text.startsWith(QStringLiteral("数据文件写入失败，接收已终止！")));
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("即可恢复")));
    EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("错误警告！！！"));
    EXPECT_EQ(w.controlStates(), kIdle);
    const QString temp = workFilePath(rig.dir.path());
    const Diagnosis d = diagnose(temp);
    EXPECT_TRUE(d.recoverable());
    EXPECT_EQ(d.samples, 4);
    ASSERT_TRUE(test::succeeded(recover(temp)));
    MeasurementReader reader;
    ASSERT_TRUE(reader.open(temp));
    float v[9];
    ASSERT_TRUE(reader.readSample(3, v));
    EXPECT_EQ(v[1], 230.0f) << "the last whole block is intact";
}

TEST_F(MainWindowTest, startUpTellsOfASettingsFileItCannotUseAndLeavesForeignFilesAlone) {
    const struct {
        const char* what;
        std::function<void(const QString& dir)> make;
        const char* says;  // nullptr: no message at all
    } cases[] = {
        {"settings file is a folder", [](const QString& d) { QDir(d).mkdir(QStringLiteral("mervo.dft")); },
         "无法读取"},
        {"settings file is a dangling link",
         [](const QString& d) { QFile::link(d + QStringLiteral("/gone"), d + QStringLiteral("/mervo.dft")); },
         "无法读取"},
        {"settings file of garbage",
         [](const QString& d) {
             QFile f(d + QStringLiteral("/mervo.dft"));
             f.open(QIODevice::WriteOnly);
             f.write("\x89PNG\r\n\x1a\n garbage");
         },
         "9 项无法识别"},
        {"working file of another kind",
         [](const QString& d) {
             QFile f(d + QStringLiteral("/TEMP.MTX"));
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray("lorem ipsum dolor sit amet ").repeated(10).left(48 + 36 * 2 + 9));
         },
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        rig.window.reset();
        QTemporaryDir dir;
        c.make(dir.path());
        const QByteArray temp = fileBytes(dir.filePath(QStringLiteral("TEMP.MTX")));
        rig.messages.shown.clear();
        rig.messages.answers = {};
        rig.state.settings = SettingsValues{};
        rig.state.settings.CTRatio = 42;  // to see the initial values stand in
        rig.window = std::make_unique<MainWindow>(
            MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, rig.port, dir.path()});
        rig.window->endProgram = [] {};
        if (!c.says) {
            EXPECT_TRUE(rig.messages.shown.empty()) << "no recovery offered for a file no receive wrote";
        } else {
            ASSERT_EQ(rig.messages.shown.size(), 1u);
            EXPECT_TRUE(rig.messages.shown[0].text.contains(QString::fromUtf8(c.says)))
                << rig.messages.shown[0].text.toStdString();
            EXPECT_EQ(rig.messages.shown[0].title, QStringLiteral("错误警告！！！"));
            EXPECT_EQ(rig.state.settings.CTRatio, 1.0f);
        }
        EXPECT_EQ(fileBytes(dir.filePath(QStringLiteral("TEMP.MTX"))), temp);
        EXPECT_EQ(rig.window->controlStates(), kIdle);
    }
}

namespace {

// The device vanishes in the middle of a block, comes back, and then sends bursts of garbage, split blocks and
// long silences: the second receive records exactly its whole blocks.
TEST_F(MainWindowTest, aDeviceThatVanishesAndReturnsRecordsEveryWholeBlock) {
    w.Command3->click();
    rig.port.deliver(blockBytes(kLagging) + blockBytes(kLagging).left(17));
    rig.port.unplug(QStringLiteral("the device hung up"));
    settle();
    rig.messages.shown.clear();

    w.Command3->click();  // plugged in again
    ASSERT_TRUE(rig.port.isOpen());
    const QByteArray block = blockBytes(kLagging);
    rig.port.deliver(QByteArray(500, '\x12'));       // a burst of would-be sync bytes
    rig.port.deliver(block.left(11));               // a block split across reads
    rig.clock.advance(120);                         // a long silence
    QTest::qWait(150);
    rig.port.deliver(block.mid(11) + QByteArray("\x34\x56\x00garbage", 10) + block + block.left(29));
    rig.port.deliver(block.right(1) + block);
    w.Command4->click();
    settle();
    MeasurementReader r;
    ASSERT_TRUE(r.open(workFilePath(rig.dir.path())));
    EXPECT_TRUE(r.info().complete);
    EXPECT_EQ(r.info().wholeSamples, 4);
    EXPECT_GT(w.receive().skippedBytes(), 500u);
}

}  // namespace

// With 断开后等待重新连接 ticked, an instrument whose pseudo-terminal vanishes (half a block sent) and comes back on
// the same COM1 link goes on in the same measurement: every block sent while it was there is stored, the status
// line counts the time it has been gone, and the gap is kept beside the file. Five blocks at 1 s (a block period of
// 1/5 s), the device gone, the clock 90 s on, three blocks at 91 s: the gap is 91 - 1 - 0.2 = 89.8 s, the samples
// cover 91 - 89.8 = 1.2 s, and 6 kW over them is 0.002 kWh.
TEST_F(MainWindowTest, withReconnectTickedAVanishedDeviceIsWaitedForAndItsGapKept) {
    rig.window.reset();
    QtSerialPort port;
    MainWindow win(MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, port, rig.dir.path()});
    win.endProgram = [] {};
    auto plugIn = [&] {
        Result<std::unique_ptr<ByteOutput>> pty = ByteOutput::openPty();
        EXPECT_TRUE(pty.ok()) << pty.message().toStdString();
        EXPECT_TRUE(test::succeeded(linkPortDevice(1, (*pty)->slavePath(), rig.dir.path())));
        return pty ? std::move(*pty) : nullptr;
    };
    const QByteArray block = blockBytes(kLagging);
    std::unique_ptr<ByteOutput> instrument = plugIn();
    ASSERT_NE(instrument, nullptr);
    win.mnuReconnect->setChecked(true);
    win.Command3->click();
    ASSERT_TRUE(win.receive().running());
    rig.clock.advance(1);
    for (int k = 0; k < 5; ++k) ASSERT_TRUE(instrument->write(block.constData(), block.size()));
    ASSERT_TRUE(instrument->write(block.constData(), 17));
    ASSERT_TRUE(QTest::qWaitFor([&] { return win.receive().blocks() == 5 && rig.state.receive.RxBuffer.size() == 17; }));
    instrument.reset();  // unplugged
    ASSERT_TRUE(QTest::qWaitFor([&] { return win.receiveStatus->text().startsWith(QStringLiteral("仪表已断开")); }));
    rig.clock.advance(90);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return win.receiveStatus->text() == QStringLiteral("仪表已断开，等待重新连接…… 已断开 0:01:30"); }))
        << win.receiveStatus->text().toStdString();
    instrument = plugIn();
    ASSERT_NE(instrument, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !instrument->slaveClosed(); })) << "the receive opened it again";
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(instrument->write(block.constData(), block.size()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return win.receive().blocks() == 8; }));
    rig.messages.answers = {MessageAnswer::No};
    win.Command4->click();
    settle();

    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown[0].text, QStringLiteral("数据接收完成，是否保存？"));
    MeasurementReader r;
    ASSERT_TRUE(test::succeeded(r.open(rig.path("TEMP.MTX"))));
    EXPECT_TRUE(r.info().complete);
    ASSERT_EQ(r.info().wholeSamples, 8);
    for (int64_t k = 0; k < 8; ++k) {
        float v[9];
        ASSERT_TRUE(test::succeeded(r.readSample(k, v)));
        EXPECT_EQ(std::vector<float>(v, v + 9), std::vector<float>(kLagging.begin(), kLagging.end())) << "sample " << k + 1;
    }
    EXPECT_EQ(r.info().header.TotalTime, 1.2f);
    const Result<Sidecar> side = readSidecar(rig.path("TEMP.MTX"), r.info().header.StartTime);
    ASSERT_TRUE(test::succeeded(side.status()));
    EXPECT_EQ(side->gaps.list(), (std::vector<ReceiveGap>{{5, 89.8}}));
    EXPECT_NEAR(rig.state.live.LiveValues[10], 0.002f, 1e-6f);
}

// During a receive, M and the 标记 button set a marker at the sample received last, numbered in the recording; it
// is beside the working file at once (a killed receive's recovery finds it), and the save takes it along. A second
// press on the same sample sets no second marker.
TEST_F(MainWindowTest, markersSetDuringAReceiveAreKeptBesideItAndSaved) {
    EXPECT_FALSE(w.markerButton->isEnabled());
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));  // a window's keys work in the active window
    w.Command3->click();
    QTest::keyClick(&w, Qt::Key_M);  // before the first sample: nothing to mark
    for (int k = 0; k < 3; ++k) rig.port.deliver(blockBytes(kLagging));
    QTest::keyClick(&w, Qt::Key_M);
    const Result<Sidecar> during = readSidecar(rig.path("TEMP.MTX"), rig.state.file.StartTime);
    ASSERT_TRUE(test::succeeded(during.status()));
    EXPECT_EQ(during->markers, (std::vector<Marker>{{3, QStringLiteral("标记 1")}}));
    for (int k = 0; k < 2; ++k) rig.port.deliver(blockBytes(kLagging));
    w.markerButton->click();
    QTest::keyClick(&w, Qt::Key_M);
    rig.messages.answers = {MessageAnswer::Yes};
    rig.dialogs.answers = {rig.path("a.MTQ")};
    w.Command4->click();
    settle();
    EXPECT_FALSE(w.markerButton->isEnabled());
    const Result<Sidecar> saved = readSidecar(rig.path("a.MTQ"), rig.state.file.StartTime);
    ASSERT_TRUE(test::succeeded(saved.status()));
    EXPECT_EQ(saved->markers, (std::vector<Marker>{{3, QStringLiteral("标记 1")}, {5, QStringLiteral("标记 2")}}));
}

// The export of the measurement in hand: its options, the output file, the work on a thread of its own.
TEST_F(MainWindowTest, exportWritesTheMeasurementInHandAsTheOperatorChose) {
    EXPECT_FALSE(w.mnuExport->isEnabled());
    w.Command3->click();
    rig.clock.advance(1);  // the block arrives a second in, the measuring time it records
    rig.port.deliver(blockBytes(kLagging));
    rig.messages.answers = {MessageAnswer::No};
    w.Command4->click();
    settle();
    ASSERT_TRUE(w.mnuExport->isEnabled());
    int64_t offered = 0;
    w.exporter->askOptions = [&](int64_t samples, QWidget*) {
        offered = samples;
        CsvExportOptions o;
        o.spreadsheet = true;
        return std::optional<CsvExportOptions>(o);
    };
    rig.dialogs.answers = {rig.path("run1.csv")};
    const size_t messagesBefore = rig.messages.shown.size();
    w.mnuExport->trigger();
    QTRY_VERIFY(!w.exporter->running());
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(rig.messages.shown.size(), messagesBefore);
    const QList<QByteArray> lines = fileBytes(rig.path("run1.csv")).split('\n');
    ASSERT_EQ(lines.size(), 3);  // the header, the one sample, nothing after the last line end
    EXPECT_TRUE(lines[0].startsWith("\xEF\xBB\xBFno,date,clock,")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("1,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith('\r'));
    EXPECT_EQ(w.receiveStatus->text(), QStringLiteral("数据已导出到 %1").arg(rig.path("run1.csv")));
}

// What the export window's controls ask for: an interval offered or typed in.
TEST(ExportDialogTest, theControlsGiveTheExportOptions) {
    test::ensureApp();
    ScriptedMessageBoxes messages;
    const struct {
        bool perInterval;
        const char* interval;  // seconds
        bool range;
        int from, to;
        bool spreadsheet;
        CsvExportOptions expected;
    } cases[] = {
        {false, "60", false, 5, 9, false, {0, 1, 0, false}},
        {true, "10", false, 1, 500, true, {10, 1, 0, true}},
        {true, "60", true, 40, 12, false, {60, 12, 40, false}},  // a range typed backwards
        {true, " 2.5", false, 1, 500, false, {2.5, 1, 0, false}},
        {false, "abc", false, 1, 500, false, {0, 1, 0, false}},  // not asked for, not judged
    };
    for (const auto& c : cases) {
        ExportDialog d(500, messages);
        (c.perInterval ? d.perInterval : d.everySample)->setChecked(true);
        d.interval->setCurrentText(QString::fromLatin1(c.interval));
        d.range->setChecked(c.range);
        d.from->setValue(c.from);
        d.to->setValue(c.to);
        d.spreadsheet->setChecked(c.spreadsheet);
        QTimer::singleShot(0, &d, [&d] { QTest::keyClick(&d, Qt::Key_Return); });
        ASSERT_EQ(d.exec(), QDialog::Accepted);
        const CsvExportOptions o = d.options();
        EXPECT_EQ(o.intervalSeconds, c.expected.intervalSeconds);
        EXPECT_EQ(o.from, c.expected.from);
        EXPECT_EQ(o.to, c.expected.to);
        EXPECT_EQ(o.spreadsheet, c.expected.spreadsheet);
    }
    EXPECT_TRUE(messages.shown.empty());
}

// An interval that is no usable number of seconds is refused with a message, and the window stays open.
TEST(ExportDialogTest, aBadIntervalIsRefused) {
    test::ensureApp();
    for (const char* typed : {"0", "-5", "abc", "", "1e-9", "nan", "10 秒"}) {
        SCOPED_TRACE(typed);
        ScriptedMessageBoxes messages;
        ExportDialog d(500, messages);
        d.perInterval->setChecked(true);
        d.interval->setCurrentText(QString::fromUtf8(typed));
        bool stayedOpen = false;
        QTimer::singleShot(0, &d, [&d, &stayedOpen] {
            QTest::keyClick(&d, Qt::Key_Return);
            stayedOpen = d.isVisible();
            d.reject();
        });
        EXPECT_EQ(d.exec(), QDialog::Rejected);
        EXPECT_TRUE(stayedOpen);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("秒数"))) << messages.shown[0].text.toStdString();
    }
}

// The export window offers what the last export chose: kept in the program directory, whatever measurement follows.
TEST(ExportDialogTest, theWindowOffersTheLastExportsChoices) {
    test::ensureApp();
    QTemporaryDir dir;
    ScriptedFileDialogs dialogs;  // no answer: the output is not chosen and nothing is written
    ScriptedMessageBoxes messages;
    CsvExporter exporter(dialogs, messages, dir.path(), nullptr);
    const QString measurement = QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ");
    const auto withTheWindow = [&](const std::function<void(ExportDialog&)>& act) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<ExportDialog*>(QApplication::activeModalWidget())) {
                poll.stop();
                act(*d);
            }
        });
        poll.start(10);
        exporter.start(measurement);
    };
    struct Seen {
        bool perInterval = false, spreadsheet = false;
        QString interval;
    } seen;
    const auto look = [&](ExportDialog& d) {
        seen = {d.perInterval->isChecked(), d.spreadsheet->isChecked(), d.interval->currentText()};
        d.reject();
    };
    withTheWindow(look);
    EXPECT_FALSE(seen.perInterval);
    EXPECT_EQ(seen.interval, QStringLiteral("1"));
    withTheWindow([](ExportDialog& d) {
        d.perInterval->setChecked(true);
        d.interval->setCurrentText(QStringLiteral("2.5"));
        d.spreadsheet->setChecked(true);
        QTest::keyClick(&d, Qt::Key_Return);
    });
    ASSERT_EQ(dialogs.asked.size(), 1u);
    withTheWindow(look);
    EXPECT_TRUE(seen.perInterval);
    EXPECT_TRUE(seen.spreadsheet);
    EXPECT_EQ(seen.interval, QStringLiteral("2.5"));
    EXPECT_TRUE(messages.shown.empty());
}

// A receive ended by closing the program is kept without a question and offered for saving at the next start and
// before a new receive would overwrite it, until it is saved or the operator says No.
TEST_F(MainWindowTest, anUnsavedRecordingIsOfferedUntilSavedOrDeclined) {
    const QString offer = QStringLiteral("上次接收的数据尚未保存，是否保存？");
    const auto asked = [&](const QString& text) {
        int n = 0;
        for (const auto& m : rig.messages.shown) n += m.text == text;
        rig.messages.shown.clear();
        return n;
    };
    w.Command3->click();
    rig.port.deliver(blockBytes(kLagging));
    w.close();
    settle();
    EXPECT_TRUE(rig.messages.shown.empty());
    const QByteArray recorded = fileBytes(rig.path("TEMP.MTX"));
    ASSERT_FALSE(recorded.isEmpty());

    // The next start offers it; Yes, then Cancel in the save dialog, keeps it waiting.
    rig.messages.answers = {MessageAnswer::Yes};
    rig.dialogs.answers = {std::nullopt};
    MainWindow again(MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, rig.port, rig.dir.path()});
    again.endProgram = [] {};
    EXPECT_EQ(asked(offer), 1);
    // A new receive asks first; cancelled again, it does not start and the recording stays.
    rig.messages.answers = {MessageAnswer::Yes};
    rig.dialogs.answers = {std::nullopt};
    again.Command3->click();
    EXPECT_EQ(asked(offer), 1);
    EXPECT_FALSE(again.receive().running());
    EXPECT_EQ(fileBytes(rig.path("TEMP.MTX")), recorded);
    // Saved, the receive goes ahead.
    rig.messages.answers = {MessageAnswer::Yes};
    rig.dialogs.answers = {rig.path("kept.MTQ")};
    again.Command3->click();
    EXPECT_EQ(asked(offer), 1);
    EXPECT_EQ(fileBytes(rig.path("kept.MTQ")), recorded);
    ASSERT_TRUE(again.receive().running());
    // No to the end question is final: neither a new receive nor the next start asks.
    rig.port.deliver(blockBytes(kLagging));
    rig.messages.answers = {MessageAnswer::No};
    again.Command4->click();
    settle();
    again.Command3->click();
    again.Command4->click();
    settle();
    MainWindow third(MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, rig.port, rig.dir.path()});
    third.endProgram = [] {};
    EXPECT_EQ(asked(offer), 0);
}

// A nameplate confirmed while a measurement is open is offered to it; a file's own nameplate taking the place of
// the confirmed one is said once; the status line names what the next receive records.
TEST_F(MainWindowTest, aConfirmedNameplateGoesWhereTheOperatorMeansIt) {
    for (const char* name : {"a.MTQ", "b.MTQ"}) {
        WorkingFileWriter writer;
        FileHeader h;
        h.TotalTime = 60;
        h.channels = {1, 1, 1};
        ASSERT_TRUE(writer.create(rig.path(name), h));
        std::array<float, 12> mx{}, mn{};
        EXPECT_TRUE(test::succeeded(writer.appendTrailer(mx, mn)));
        EXPECT_TRUE(test::succeeded(writer.close()));
    }
    w.openPath(rig.path("a.MTQ"));
    EXPECT_EQ(w.nextNameplate->text(), QStringLiteral("下次接收：无电机参数"));
    w.mnuMOTO_Click();
    MotorWindow* motor = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MotorWindow*>(t)) motor = m;
    ASSERT_NE(motor, nullptr);
    const char* typed[7] = {"4", "4", "8.5", "80", "4", "0.2", "380"};
    for (int i = 0; i < 7; ++i) motor->Text2[i]->setText(QString::fromLatin1(typed[i]));
    rig.messages.shown.clear();
    rig.messages.answers = {MessageAnswer::Yes};
    motor->Command4_Click();
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].text.startsWith(QStringLiteral("是否将电机参数（电机 4 极 4 kW）写入测量数据文件")));
    MeasurementReader reader;
    ASSERT_TRUE(test::succeeded(reader.open(rig.path("a.MTQ"))));
    EXPECT_EQ(reader.info().header.nameplate, (std::array<float, 7>{4, 4, 8.5f, 80, 4, 0.2f, 380}));
    EXPECT_EQ(w.nextNameplate->text(), QStringLiteral("下次接收：自定义　4 极 4 kW"));

    // Opening a file without a nameplate replaces the confirmed one: said once.
    rig.messages.shown.clear();
    w.openPath(rig.path("b.MTQ"));
    w.openPath(rig.path("a.MTQ"));
    w.openPath(rig.path("b.MTQ"));
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].text.startsWith(QStringLiteral("打开的文件使用文件中的电机参数（无电机参数）")));
    EXPECT_EQ(w.nextNameplate->text(), QStringLiteral("下次接收：无电机参数"));
}

// The views follow the measurement in hand: the trend window shows what was opened, closed or just received, the
// panel keeps nothing of a receive once a file is opened, and an Open that is refused leaves the open file open.
TEST_F(MainWindowTest, theViewsFollowTheMeasurementInHand) {
    const QString motor = rig.path("motor.MTQ");  // 12 samples
    ASSERT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), motor));
    QFile png(rig.path("picture.MTQ"));
    ASSERT_TRUE(png.open(QIODevice::WriteOnly));
    png.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(300, '\x07'));
    png.close();
    const QString temp = rig.path("TEMP.MTX");
    const struct {
        const char* what;
        std::function<void()> act;
        QString file;        // in hand, named by the title unless it is the working file
        const char* panel;   // the first current's box, then after a repaint
        bool analysis;       // 数据分析 enabled
        const char* trend;   // the trend window's title
        int64_t samples;     // that it shows
    } cases[] = {
        {"an Open", [&] { w.openPath(motor); }, motor, "| 0.000", true, "趋势分析 — motor.MTQ", 12},
        {"an Open refused after one", [&] {
             w.openPath(motor);
             rig.dialogs.answers = {rig.path("picture.MTQ")};
             w.mnuFileOpen->trigger();
         }, motor, "| 0.000", true, "趋势分析 — motor.MTQ", 12},
        {"Close after an Open", [&] {
             w.openPath(motor);
             w.mnuCLOSE->trigger();
         }, temp, "| 0.000", false, "趋势分析 — TEMP.MTX", 1},
        {"another receive", [&] {
             w.Command3->click();
             rig.clock.advance(1);
             rig.port.deliver(blockBytes(kLagging));
             w.Command4->click();
             settle();
         }, temp, " 10.000| 10.000", true, "趋势分析 — TEMP.MTX", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // A receive of one block, not saved, shown in the trend window.
        w.mnuCLOSE_Click();
        w.Command3->click();
        rig.clock.advance(1);
        rig.port.deliver(blockBytes(kLagging));
        w.mnuTrend_Click();
        QTest::qWait(150);  // the trend window follows the receive
        w.Command4->click();
        settle();
        ASSERT_EQ(panel(w)[0], QStringLiteral(" 10.000"));

        c.act();
        EXPECT_EQ(rig.state.file.WorkFile, c.file);
        EXPECT_EQ(w.windowTitle(), c.file == temp ? QStringLiteral("电能综合测试仪")
                                                  : QStringLiteral("电能综合测试仪[%1]").arg(c.file));
        const QString shown = panel(w)[0];
        w.Picture1_Paint();
        EXPECT_EQ(shown + QLatin1Char('|') + panel(w)[0], QString::fromUtf8(c.panel));
        EXPECT_EQ(w.Command2->isEnabled(), c.analysis);
        TrendWindow* trend = w.trendWindow();
        ASSERT_NE(trend, nullptr);
        EXPECT_EQ(trend->windowTitle(), QString::fromUtf8(c.trend));
        for (int i = 0; i < 1000 && trend->loading(); ++i) QTest::qWait(5);
        EXPECT_EQ(trend->source() ? trend->source()->size() : 0, c.samples)
            << trend->status->text().toStdString();
    }
}

// A receive that records nothing does not look live: the panel waits empty instead of showing the receive before,
// the status line names what to check after a few seconds, and at the end the operator is told so, with nothing
// offered for saving, nothing written and nothing listed among the recent files.
TEST_F(MainWindowTest, aReceiveWithoutASingleBlockSaysSoAndOffersNothingToSave) {
    const struct {
        const char* what;
        QPushButton* start;
        std::function<void()> end;
    } cases[] = {
        {"manual, stopped", w.Command3, [&] { w.Command4->click(); }},
        {"timed, at its time", w.Command1, [&] {
             rig.clock.advance(5);
             QTest::qWait(250);
         }},
        {"manual, the device gone", w.Command3, [&] { rig.port.unplug(QStringLiteral("the device hung up")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        w.Command3->click();
        rig.port.deliver(blockBytes(kLagging));
        w.Command4->click();
        settle();
        ASSERT_EQ(panel(w)[0], QStringLiteral(" 10.000"));
        rig.messages.shown.clear();
        rig.messages.answers = {MessageAnswer::Yes};  // had the question been asked, this would save
        rig.dialogs.answers = {rig.path("nothing.MTQ")};
        rig.state.file.TotalTime = 10;

        c.start->click();
        EXPECT_EQ(panel(w)[0], QString()) << "waiting, not the readings of the receive before";
        rig.clock.advance(6);
        QTest::qWait(250);
        EXPECT_TRUE(w.receiveStatus->text().startsWith(QStringLiteral("无数据：请查 COM1、电缆、仪表输出")))
            << w.receiveStatus->text().toStdString();
        c.end();
        settle();

        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("未收到任何数据"))) << rig.messages.shown[0].text.toStdString();
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("COM1（/dev/ttyS0）")));
        EXPECT_FALSE(QFile::exists(rig.path("nothing.MTQ")));
        EXPECT_TRUE(recentFiles(rig.dir.path()).isEmpty());
        EXPECT_EQ(w.controlStates(), controls("1011 10 100001")) << "nothing in hand, as after Close";
    }
}

namespace {
MotorWindow* openMotorWindow(MainWindow& w) {
    w.mnuMOTO_Click();
    for (QWidget* t : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<MotorWindow*>(t)) return m;
    return nullptr;
}
}  // namespace

// The nameplate confirmed in 设置 → 电机参数 is still the next receive's after a restart, catalogue code and every
// digit, until it is cancelled.
TEST_F(MainWindowTest, theConfirmedNameplateOutlivesARestart) {
    // Code 12 of a catalogue file: a 4-pole motor of 4 kW, 8.5 A, 80 %, 4 A and 0.25 kW at no load.
    QByteArray obj(16 * 6935, '\0');
    obj[16 * 11] = 4;
    const float values[5] = {4, 8.5f, 80, 4, 0.25f};
    for (int i = 0; i < 5; ++i) {
        const auto t = EncodeTriple(values[i]);
        for (int b = 0; b < 3; ++b) obj[16 * 11 + 1 + 3 * i + b] = static_cast<char>(t[b]);
    }
    QFile f(rig.path("MTALL.OBJ"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(obj);
    f.close();
    MotorWindow* motor = openMotorWindow(w);
    ASSERT_NE(motor, nullptr);
    motor->Text1->setText(QStringLiteral("12"));
    motor->Command4_Click();
    const auto restarted = [&](const std::function<void(MainWindow&, SharedState&)>& check) {
        SharedState fresh;
        MainWindow again(MainWindowContext{fresh, rig.clock, rig.dialogs, rig.messages, rig.port, rig.dir.path()});
        again.endProgram = [] {};
        check(again, fresh);
    };
    restarted([](MainWindow& again, SharedState& fresh) {
        EXPECT_EQ(again.nextNameplate->text(), QStringLiteral("下次接收：编号 12　4 极 4 kW"));
        EXPECT_EQ(fresh.motor.nameplate(), (std::array<float, 7>{4, 4, 8.5f, 80, 4, 0.25f, 380}));
        EXPECT_TRUE(fresh.motor.MotorDataValid);
        EXPECT_FLOAT_EQ(fresh.motor.MotorRatedLoss, 1.0f);
    });
    // A nameplate typed in keeps its own digits; cancelled, none is kept.
    motor->Text1->setText(QStringLiteral("0"));
    const char* typed[7] = {"2", "7.5", "15.2", "88.3", "4.87", "0.307", "380"};
    for (int i = 0; i < 7; ++i) motor->Text2[i]->setText(QString::fromLatin1(typed[i]));
    motor->Command4_Click();
    restarted([](MainWindow& again, SharedState& fresh) {
        EXPECT_EQ(again.nextNameplate->text(), QStringLiteral("下次接收：自定义　2 极 7.5 kW"));
        EXPECT_EQ(fresh.motor.nameplate(), (std::array<float, 7>{2, 7.5f, 15.2f, 88.3f, 4.87f, 0.307f, 380}));
    });
    motor->Command2_Click();
    restarted([](MainWindow& again, SharedState& fresh) {
        EXPECT_EQ(again.nextNameplate->text(), QStringLiteral("下次接收：无电机参数"));
        EXPECT_EQ(fresh.motor.nameplate(), (std::array<float, 7>{}));
    });
}

// At its designed width the status line shows the next receive's nameplate whole and clear of the window's edge,
// and as much of a long message as fits beside it, the start and the end of it in view.
TEST_F(MainWindowTest, theStatusLineNeverClips) {
    rig.state.motor.setNameplate({2, 7.5f, 15, 88, 6, 0.3f, 380});
    MotorWindow* motor = openMotorWindow(w);
    ASSERT_NE(motor, nullptr);
    motor->Command4_Click();  // the fields as they stand: confirmed, named in the status line
    w.receiveStatus->setText(QStringLiteral("数据已导出到 /home/operator/测量数据/二号泵站/2024年5月17日/run1-interval.csv"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    settle();
    EXPECT_EQ(w.width(), px(7650));
    const QLabel* next = w.nextNameplate;
    EXPECT_EQ(next->text(), QStringLiteral("下次接收：自定义　2 极 7.5 kW"));
    const int inkRight = next->x() + next->contentsRect().left() + next->fontMetrics().boundingRect(next->text()).right();
    EXPECT_LT(inkRight, w.statusBar()->width() - 2) << "the last letters clear of the edge";
    const auto* status = dynamic_cast<const ElidedLabel*>(w.receiveStatus);
    ASSERT_NE(status, nullptr);
    EXPECT_LE(status->geometry().right(), next->geometry().left());
    const QString shown = status->shownText();
    EXPECT_LE(status->fontMetrics().horizontalAdvance(shown), status->contentsRect().width());
    EXPECT_TRUE(shown.startsWith(QStringLiteral("数据已导出到 /home"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("run1-interval.csv"))) << shown.toStdString();
}

// Temporaries left by writers killed in an earlier run go at the next start, and beside a measurement opened.
TEST_F(MainWindowTest, killedWritersLeftoversAreSweptAtStartAndOnOpen) {
    QDir(rig.dir.path()).mkdir(QStringLiteral("m"));
    const QString file = rig.path("m/a.MTQ");
    ASSERT_TRUE(QFile::copy(QStringLiteral(MERVO_ANALYSIS_FIXTURES "/trend_motor.MTQ"), file));
    for (const char* leftover : {".mervo.dft.part-Ab12Cd", "m/.a.MTQ.recover-XyZ789"}) {
        QFile f(rig.path(leftover));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    MainWindow restarted(MainWindowContext{rig.state, rig.clock, rig.dialogs, rig.messages, rig.port, rig.dir.path()});
    EXPECT_FALSE(QFile::exists(rig.path(".mervo.dft.part-Ab12Cd")));
    restarted.openPath(file);
    EXPECT_FALSE(QFile::exists(rig.path("m/.a.MTQ.recover-XyZ789")));
}
