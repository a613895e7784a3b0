// The windows with Qt's real dialogs and message boxes, driven as an operator drives them: each dialog is taken
// as the active modal window once it is there, a name typed into it, a button pressed. Scripted dialogs answer
// at once and cannot see one modal window standing ready to cover another.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "analysis/analysis_pass.h"
#include "measurement/writer.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/fixed_serial_devices.h"
#include "platform/fake/scripted_serial_port.h"
#include "platform/qt_widgets/widget_dialogs.h"
#include "windows/export_window.h"
#include "windows/gui_test_support.h"
#include "windows/main_window.h"
#include "windows/port_devices_dialog.h"
#include "windows/print_window.h"
#include "windows/settings_window.h"
#include "windows/trend_window.h"
#include "platform/file_size_limit.h"
#include "support/status_matchers.h"

namespace mervo {
namespace {

// One thing the operator does: waits until `is` says the active modal window is the one expected, then `act`s on
// it.
struct Step {
    std::function<bool(QWidget*)> is;
    std::function<void(QWidget*)> act;
};

// Takes the steps in order as their windows come up. Each act runs from the event loop, so an act that opens
// another modal window (a click that asks a question) leaves the next step free to answer it. A step still
// waiting after the limit fails, and every modal window is then closed so that the program returns.
class Operator : public QObject {
public:
    explicit Operator(std::vector<Step> steps, int limitMs = 30000) : steps_(std::move(steps)), limitMs_(limitMs) {
        connect(&poll_, &QTimer::timeout, this, &Operator::look);
        clock_.start();
        poll_.start(5);
    }
    // Every step taken and done.
    bool finished() const { return next_ == steps_.size() && acting_ == 0 && !timedOut_; }
    bool waitUntilFinished() {
        return QTest::qWaitFor([this] { return finished() || timedOut_; }, limitMs_ + 5000) && finished();
    }

private:
    void look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!finished() && clock_.elapsed() > limitMs_) {
            if (!timedOut_) ADD_FAILURE() << "step " << next_ + 1 << " of " << steps_.size() << " never came";
            timedOut_ = true;
        }
        if (timedOut_) {
            if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
            return;
        }
        if (queued_ || !modal || next_ == steps_.size() || !steps_[next_].is(modal)) return;
        queued_ = true;
        QTimer::singleShot(0, this, [this, at = next_++, m = QPointer<QWidget>(modal)] {
            queued_ = false;
            if (!m) return;
            ++acting_;
            steps_[at].act(m);
            --acting_;
        });
    }

    std::vector<Step> steps_;
    int limitMs_;
    size_t next_ = 0;
    int acting_ = 0;
    bool queued_ = false, timedOut_ = false;
    QTimer poll_;
    QElapsedTimer clock_;
};

// A save dialog of this title.
std::function<bool(QWidget*)> saveDialog(const QString& title) {
    return [title](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        return d && d->acceptMode() == QFileDialog::AcceptSave && d->windowTitle() == title;
    };
}
template <class T>
bool is(QWidget* w) {
    return qobject_cast<T*>(w) != nullptr;
}

// Types a name into the file dialog and presses Enter.
void typeName(QWidget* dialog, const QString& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, path);
    QTest::keyClick(name, Qt::Key_Return);
}
void pressEscape(QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }
void clickButton(QWidget* box, QMessageBox::StandardButton which) {
    QAbstractButton* b = qobject_cast<QMessageBox*>(box)->button(which);
    ASSERT_TRUE(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Progress windows in being. Once started, one shows itself on its own timer; modal, it then takes the keyboard of
// any dialog still waiting for the operator.
int progressWindows() {
    int n = 0;
    for (QWidget* w : QApplication::allWidgets()) n += qobject_cast<QProgressDialog*>(w) ? 1 : 0;
    return n;
}

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}
QStringList filesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// A complete measurement of `samples` samples.
void writeMeasurement(const QString& path, int samples) {
    WorkingFileWriter w;
    FileHeader h;
    h.TotalTime = static_cast<float>(samples) / 10;
    h.nameplate = {4, 4, 8.5f, 80, 4, 0.2f, 380};
    h.channels = {1, 1, 1};
    ASSERT_TRUE(w.create(path, h));
    std::array<float, 12> mx{}, mn{};
    mx.fill(12);
    mn.fill(1);
    const float s[9] = {-10, 230, 2, -10, 230, 2, -10, 230, 2};
    for (int i = 0; i < samples; ++i) ASSERT_TRUE(test::succeeded(w.appendSample(s)));
    ASSERT_TRUE(test::succeeded(w.appendTrailer(mx, mn)));
    ASSERT_TRUE(test::succeeded(w.close()));
}

class RealDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureApp();
        qputenv("MERVO_HOME", dir.path().toLocal8Bit());
        measurement = dir.filePath(QStringLiteral("m.MTQ"));
        writeMeasurement(measurement, 130);
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The main window with the real dialogs, the measurement open.
    std::unique_ptr<MainWindow> mainWindow() {
        auto w = std::make_unique<MainWindow>(MainWindowContext{st, clock, files, messages, port, dir.path()});
        w->endProgram = [] {};
        w->show();
        w->openPath(measurement);
        return w;
    }

    QTemporaryDir dir;
    QString measurement;
    SharedState st;
    FakeClock clock;
    ScriptedSerialPort port;
    WidgetFileDialogs files;
    WidgetMessageBoxes messages;
};

// The documents chosen in the print window reach PDF files named in the save dialogs (no printer is set up
// here), and while a save dialog waits for its name no progress window stands ready to cover it.
TEST_F(RealDialogs, printWindowPrintsToPdfFilesNamedInTheSaveDialog) {
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "a default printer takes the output";
    st.file.WorkFile = measurement;
    AnalysisPass pass(st, nullptr);
    ASSERT_TRUE(pass.begin(dir.path()));
    while (!pass.step(1000)) {
    }
    const struct {
        bool report;
        QStringList outputs;  // one PDF a document, in the order they are asked for
    } cases[] = {
        {false, {QStringLiteral("table.pdf")}},
        {true, {QStringLiteral("curves.pdf"), QStringLiteral("both-table.pdf")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outputs.join(QLatin1Char(' ')).toStdString());
        QPointer<PrintWindow> win = new PrintWindow(st, files, messages);
        win->show();
        win->Check1->setChecked(c.report);
        win->Check2->click();
        std::vector<Step> steps;
        const QStringList documents = c.report ? QStringList{QStringLiteral("工况运行曲线"), QStringLiteral("数据")}
                                               : QStringList{QStringLiteral("数据")};
        for (int i = 0; i < documents.size(); ++i)
            steps.push_back({saveDialog(QStringLiteral("没有打印机，“%1”保存为 PDF 文件").arg(documents[i])),
                             [name = dir.filePath(c.outputs[i])](QWidget* d) {
                                 EXPECT_EQ(progressWindows(), 0) << "ready to cover the save dialog";
                                 typeName(d, name);
                             }});
        Operator op(steps);
        QTest::mouseClick(win->Command2, Qt::LeftButton);
        EXPECT_TRUE(op.waitUntilFinished());
        for (const QString& out : c.outputs) {
            const QByteArray pdf = bytes(dir.filePath(out));
            EXPECT_TRUE(pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF")) << out.toStdString();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(win.isNull()) << "closed once printed";
        delete win.data();
    }
}

// Save As onto a file that exists: Qt's own question decides; No goes back to the save dialog, whose Cancel
// leaves the old file as it was.
TEST_F(RealDialogs, saveAsOverAnExistingFileReplacesItOnlyOnYes) {
    const QString copy = dir.filePath(QStringLiteral("copy.MTQ"));
    const struct {
        QMessageBox::StandardButton answer;
        QByteArray after;  // what copy.MTQ holds then; empty: the measurement's bytes
    } cases[] = {{QMessageBox::No, "an earlier file"}, {QMessageBox::Yes, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer == QMessageBox::Yes ? "Yes" : "No");
        {
            QFile f(copy);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("an earlier file");
        }
        const auto w = mainWindow();
        std::vector<Step> steps = {
            {saveDialog(QStringLiteral("另存为")), [&](QWidget* d) { typeName(d, copy); }},
            {is<QMessageBox>, [&](QWidget* box) { clickButton(box, c.answer); }},
        };
        if (c.answer == QMessageBox::No) steps.push_back({saveDialog(QStringLiteral("另存为")), pressEscape});
        Operator op(steps);
        w->mnuSAVE_AS->trigger();
        EXPECT_TRUE(op.waitUntilFinished());
        EXPECT_EQ(bytes(copy), c.after.isEmpty() ? bytes(measurement) : c.after);
    }
}

// 导出数据(CSV)… cancelled in its options or, after No to replacing a file, in its save dialog: nothing is
// written and the file that was there stays as it was.
TEST_F(RealDialogs, aCancelledExportWritesNothing) {
    const QString old = dir.filePath(QStringLiteral("old.csv"));
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kept\n");
    }
    auto pressExport = [](QWidget* d) {
        QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    };
    auto pressCancel = [](QWidget* d) {
        QTest::mouseClick(d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    };
    const QString saveTitle = QStringLiteral("导出数据(CSV)");
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"cancelled in the options", {{is<ExportDialog>, pressCancel}}},
        {"not over the old file, then cancelled",
         {{is<ExportDialog>, pressExport},
          {saveDialog(saveTitle), [&](QWidget* d) { typeName(d, old); }},
          {is<QMessageBox>, [](QWidget* box) { clickButton(box, QMessageBox::No); }},
          {saveDialog(saveTitle), pressEscape}}},
    };
    const auto w = mainWindow();
    ASSERT_TRUE(w->mnuExport->isEnabled());
    const QStringList before = filesIn(dir);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Operator op(c.steps);
        w->mnuExport->trigger();
        EXPECT_TRUE(op.waitUntilFinished());
        EXPECT_FALSE(w->exporter->running());
        EXPECT_EQ(filesIn(dir).join(QLatin1Char(' ')), before.join(QLatin1Char(' ')));
        EXPECT_EQ(bytes(old), "kept\n");
    }
}

// 串口设备… in the settings window, over a number already linked elsewhere: assigning asks first, No leaves the
// link; Yes links at once, and the window's 取消 puts the link back while 确定 keeps it.
TEST_F(RealDialogs, assigningALinkedPortAsksAndTheSettingsCancelPutsItBack) {
    const QString com2 = dir.filePath(QStringLiteral("COM2")), was = dir.filePath(QStringLiteral("ttyOLD"));
    FixedSerialDevices devices;
    devices.devices = {{QStringLiteral("/dev/ttyUSB7"), QStringLiteral("CH340"), {}}};
    const struct {
        const char* what;
        QMessageBox::StandardButton answer;
        bool ok;            // the settings window closed with 确定, not 取消
        const char* after;  // where COM2 leads once the window is closed
    } cases[] = {
        {"No", QMessageBox::No, false, "ttyOLD"},
        {"Yes, 取消", QMessageBox::Yes, false, "ttyOLD"},
        {"Yes, 确定", QMessageBox::Yes, true, "/dev/ttyUSB7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(com2);
        ASSERT_TRUE(QFile::link(was, com2));
        QPointer<SettingsWindow> w = new SettingsWindow(st, messages, dir.path(), devices);
        w->show();
        w->Combo1->setCurrentIndex(1);
        QString asked;
        Operator op({{is<PortDevicesDialog>,
                      [](QWidget* d) {
                          auto* ports = qobject_cast<PortDevicesDialog*>(d);
                          ports->list->setCurrentRow(0);
                          QTest::mouseClick(ports->assignButton, Qt::LeftButton);
                      }},
                     {is<QMessageBox>, [&](QWidget* box) {
                          asked = qobject_cast<QMessageBox*>(box)->text();
                          clickButton(box, c.answer);
                      }}});
        QTest::mouseClick(w->devicesButton, Qt::LeftButton);
        EXPECT_TRUE(op.waitUntilFinished());
        EXPECT_TRUE(asked.contains(was) && asked.contains(QStringLiteral("/dev/ttyUSB7"))) << asked.toStdString();
        EXPECT_EQ(QFile::symLinkTarget(com2).toStdString(),
                  (c.answer == QMessageBox::Yes ? QStringLiteral("/dev/ttyUSB7") : was).toStdString())
            << "at once";
        if (auto* d = w->findChild<PortDevicesDialog*>()) d->closeButton->click();
        (c.ok ? w->Command1 : w->Command2)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isNull());
        EXPECT_EQ(QFile::symLinkTarget(com2).toStdString(),
                  QDir(dir.path()).absoluteFilePath(QString::fromUtf8(c.after)).toStdString());
    }
}

// 保存图片 over a picture that is there: Qt's question first, then the new picture beside the old one and put in
// its place only once whole, so a write that fails (the disk full) leaves the old picture as it was, and says so.
TEST_F(RealDialogs, aPictureSavedOverAnOldOneReplacesItOnlyWhenWrittenWhole) {
    const QString old = dir.filePath(QStringLiteral("trend.png"));
    const struct {
        const char* what;
        bool diskFull;
    } cases[] = {{"the disk full", true}, {"written", false}};
    const auto w = mainWindow();
    w->mnuTrend_Click();
    QPointer<TrendWindow> trend = w->trendWindow();
    ASSERT_TRUE(trend);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !trend->loading() && trend->source(); }));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        {
            QFile f(old);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("an earlier picture");
        }
        const QStringList before = filesIn(dir);
        QString told;
        std::vector<Step> steps = {
            {saveDialog(QStringLiteral("保存图片")), [&](QWidget* d) { typeName(d, old); }},
            {is<QMessageBox>, [](QWidget* box) { clickButton(box, QMessageBox::Yes); }},
        };
        if (c.diskFull)
            steps.push_back({is<QMessageBox>, [&](QWidget* box) {
                                 told = qobject_cast<QMessageBox*>(box)->text();
                                 clickButton(box, QMessageBox::Ok);
                             }});
        // Room for the old picture, none for a new one.
        std::unique_ptr<test::FileSizeLimit> full;
        if (c.diskFull) full = std::make_unique<test::FileSizeLimit>(1024);
        Operator op(steps);
        QTest::mouseClick(trend->pictureButton, Qt::LeftButton);
        EXPECT_TRUE(op.waitUntilFinished());
        full.reset();
        if (c.diskFull) {
            EXPECT_EQ(bytes(old), "an earlier picture");
            EXPECT_TRUE(told.contains(old)) << told.toStdString();
            EXPECT_EQ(filesIn(dir).join(QLatin1Char(' ')), before.join(QLatin1Char(' '))) << "nothing left beside it";
        } else {
            EXPECT_TRUE(bytes(old).startsWith("\x89PNG"));
        }
    }
}

}  // namespace
}  // namespace mervo
