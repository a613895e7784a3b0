// The settings window driven through its controls, over a temporary program directory.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "windows/port_devices_dialog.h"
#include "windows/settings_window.h"
#include "platform/fake/fixed_serial_devices.h"
#include "platform/fake/scripted_dialogs.h"
#include "platform/program_dir.h"
#include "platform/pty.h"
#include "windows/gui_test_support.h"

namespace mervo {
namespace {

const QString kErrorTitle = QStringLiteral("错误警告！！！");

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { test::ensureApp(); }
    void TearDown() override {
        if (w) w->close();
        flushDeletes();
    }

    QString file() const { return settingsFilePath(dir.path()); }
    void store(const QByteArray& text) {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray stored() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    QList<QByteArray> storedLines() const { return stored().split('\n'); }

    SettingsWindow* open() {
        w = new SettingsWindow(st, messages, dir.path(), devices);
        w->show();
        return w;
    }
    static void type(QLineEdit* field, const QString& text) {
        field->clear();
        QTest::keyClicks(field, text);
    }
    // Click near the indicator, inside the area a check or option box reacts to.
    static void click(QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    bool closed() {
        flushDeletes();
        return w.isNull();
    }

    QTemporaryDir dir;
    SharedState st;
    ScriptedMessageBoxes messages;
    FixedSerialDevices devices;
    QPointer<SettingsWindow> w;
};

const QByteArray kSample = " 3\r\n 7\r\n 3600\r\n 2\r\n .5\r\n 10\r\n 1\r\n 0\r\n 1\r\n";

TEST_F(SettingsWindowTest, LoadFillsEveryControlAndOkStoresTheNineLinesAfterEdits) {
    store(kSample);
    open();
    EXPECT_EQ(w->windowTitle(), "MERVO...设置");
    EXPECT_EQ(w->Combo1->currentIndex(), 2);
    EXPECT_TRUE(w->Option7->isChecked());
    EXPECT_TRUE(w->Option11->isChecked());
    EXPECT_EQ(QStringList(
                  {w->Text1->text(), w->Text2->text(), w->Text3->text(), w->Text4->text(), w->Text5->text()}),
              QStringList({"1", "0", "0", "2", "0.5"}));
    EXPECT_TRUE(w->Check1->isChecked());
    EXPECT_FALSE(w->Check2->isChecked());
    EXPECT_TRUE(w->Check3->isChecked());
    EXPECT_EQ(st.settings.WiringCode, 5);

    QTest::keyClick(w->Combo1, Qt::Key_Down);
    QTest::keyClick(w->Combo1, Qt::Key_Down);
    EXPECT_EQ(st.settings.CommPortNo, 5);  // the list takes effect at once
    click(w->Option9);
    click(w->Option12);
    click(w->Check2);
    type(w->Text4, "50");
    type(w->Text2, "1.5");
    QTest::mouseClick(w->Command1, Qt::LeftButton);

    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(stored(), QByteArray(" 5\r\n 9\r\n 3690\r\n 50\r\n .5\r\n 20\r\n 1\r\n 1\r\n 1\r\n"));
    EXPECT_EQ(st.settings.WiringCode, 7);
    EXPECT_EQ(st.file.TotalTime, 3690.0f);
    EXPECT_EQ(st.settings.TotalTimeSetting, 3690.0f);
    EXPECT_TRUE(closed());
}

TEST_F(SettingsWindowTest, DurationRoundTripsThroughTheFile) {
    open();
    type(w->Text1, "1");
    type(w->Text2, "30");
    type(w->Text3, "0");
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    ASSERT_TRUE(closed());
    EXPECT_EQ(storedLines().value(2), QByteArray(" 5400\r"));

    open();
    EXPECT_EQ(QStringList({w->Text1->text(), w->Text2->text(), w->Text3->text()}),
              QStringList({"1", "30", "0"}));
}

TEST_F(SettingsWindowTest, StoredDurationSplitsWithRoundedSecondsAndCarries) {
    const struct {
        const char* line;
        QStringList fields;
    } cases[] = {
        {" 3599.6", {"1", "0", "0"}},  // 59.6 s round to 60 and carry twice
        {" 5400", {"1", "30", "0"}},  {" 10", {"0", "0", "10"}},
        {" 90061", {"25", "1", "1"}}, {" 119.7", {"0", "2", "0"}},
    };
    for (const auto& c : cases) {
        store(" 1\r\n 0\r\n" + QByteArray(c.line) + "\r\n 1\r\n 1\r\n 5\r\n 1\r\n 1\r\n 1\r\n");
        open();
        EXPECT_EQ(QStringList({w->Text1->text(), w->Text2->text(), w->Text3->text()}), c.fields) << c.line;
        w->close();
        flushDeletes();
    }
}

TEST_F(SettingsWindowTest, EachOptionStoresItsValue) {
    const struct {
        QRadioButton* SettingsWindow::*option;
        int line;
        QByteArray text;
    } cases[] = {
        {&SettingsWindow::Option4, 1, " 0"},   {&SettingsWindow::Option5, 1, " 3"},
        {&SettingsWindow::Option6, 1, " 6"},   {&SettingsWindow::Option7, 1, " 7"},
        {&SettingsWindow::Option8, 1, " 8"},   {&SettingsWindow::Option9, 1, " 9"},
        {&SettingsWindow::Option10, 5, " 5"},  {&SettingsWindow::Option11, 5, " 10"},  // "20段" stores 10
        {&SettingsWindow::Option12, 5, " 20"},
    };
    for (const auto& c : cases) {
        // Curve 1 belongs to no option; the segment starts at a value other than the one clicked.
        store(QByteArray(" 1\r\n 1\r\n 10\r\n 1\r\n 1\r\n") + (c.text == " 20" ? " 5" : " 20") +
              "\r\n 1\r\n 1\r\n 1\r\n");
        open();
        click(w->*c.option);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        EXPECT_EQ(storedLines().value(c.line), c.text + "\r") << c.text.constData();
        ASSERT_TRUE(closed());
    }
}

TEST_F(SettingsWindowTest, TickedChannelsGiveTheWiringCode) {
    const struct {
        bool red, blue, yellow;
        int code;
    } cases[] = {
        {false, false, true, 1}, {true, false, false, 4}, {false, true, false, 2}, {true, true, true, 7}};
    for (const auto& c : cases) {
        store(" 1\r\n 0\r\n 10\r\n 1\r\n 1\r\n 5\r\n 0\r\n 0\r\n 0\r\n");
        open();
        if (c.red) click(w->Check1);
        if (c.blue) click(w->Check2);
        if (c.yellow) click(w->Check3);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        EXPECT_EQ(st.settings.WiringCode, c.code);
        const QList<QByteArray> lines = storedLines();
        EXPECT_EQ(lines.mid(6, 3), QList<QByteArray>({c.red ? " 1\r" : " 0\r", c.blue ? " 1\r" : " 0\r",
                                                      c.yellow ? " 1\r" : " 0\r"}));
        ASSERT_TRUE(closed());
    }
}

TEST_F(SettingsWindowTest, NoChannelIsRefusedAndNothingWritten) {
    store(kSample);
    open();
    click(w->Check1);
    click(w->Check3);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "至少需要选择连接一个互感器！\r\n请重新选择！");
    EXPECT_EQ(messages.shown[0].title, kErrorTitle);
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(stored(), kSample);
    EXPECT_FALSE(closed());
    EXPECT_TRUE(w->isVisible());
}

// Text that is no usable number, or a duration under a second: a message, the window stays, nothing changes.
TEST_F(SettingsWindowTest, UnusableFieldsAreRefusedWithoutChangingAnything) {
    const struct {
        QStringList fields;  // Text1 .. Text5
        const char* says;
    } cases[] = {
        {{"1", "0", "0", "abc", "1"}, "CT倍率"},
        {{"1", "0", "0", "0", "1"}, "CT倍率"},
        {{"1", "0", "0", "-2", "1"}, "CT倍率"},
        {{"1", "0", "0", "1e-50", "1"}, "CT倍率"},  // zero once stored
        {{"1", "0", "0", "1", "1e39"}, "PT倍率"},
        {{"1", "0", "0", "1", ""}, "PT倍率"},
        {{"1", "0", "0", "1", "1,5"}, "PT倍率"},
        {{"x", "0", "0", "1", "1"}, "累计时间"},
        {{"0", "-1", "100", "1", "1"}, "累计时间"},
        {{"", "", "", "1", "1"}, "至少为1秒"},
        {{"0", "0", "0.5", "1", "1"}, "至少为1秒"},
        {{"1e40", "0", "0", "1", "1"}, "累计时间"},
        {{"1e35", "0", "0", "1", "1"}, "过长"},
        {{"0", "0", "nan", "1", "1"}, "累计时间"},
    };
    for (const auto& c : cases) {
        store(kSample);
        messages.shown.clear();
        open();
        const SettingsValues before = st.settings;
        const float totalBefore = st.file.TotalTime;
        QLineEdit* fields[5] = {w->Text1, w->Text2, w->Text3, w->Text4, w->Text5};
        for (int i = 0; i < 5; ++i) type(fields[i], c.fields[i]);
        QTest::mouseClick(w->Command1, Qt::LeftButton);

        const QString what = c.fields.join('|');
        ASSERT_EQ(messages.shown.size(), 1u) << what.toStdString();
        EXPECT_EQ(messages.shown[0].title, kErrorTitle);
        EXPECT_TRUE(messages.shown[0].text.contains(QString::fromUtf8(c.says)))
            << messages.shown[0].text.toStdString();
        EXPECT_EQ(stored(), kSample) << what.toStdString();
        EXPECT_EQ(st.settings.CTRatio, before.CTRatio);
        EXPECT_EQ(st.settings.PTRatio, before.PTRatio);
        EXPECT_EQ(st.settings.TotalTimeSetting, before.TotalTimeSetting);
        EXPECT_EQ(st.file.TotalTime, totalBefore);
        ASSERT_FALSE(closed()) << what.toStdString();
        w->close();
        flushDeletes();
    }
}

TEST_F(SettingsWindowTest, EmptyDurationFieldsBecomeZeroAndAreRefused) {
    open();
    for (QLineEdit* f : {w->Text1, w->Text2, w->Text3}) f->clear();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    EXPECT_EQ(QStringList({w->Text1->text(), w->Text2->text(), w->Text3->text()}),
              QStringList({"0", "0", "0"}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(QFile::exists(file()));
}

TEST_F(SettingsWindowTest, StoredPortOutsideTheListSelectsCom1AndSaysSo) {
    const struct {
        const char* line;
        int index;
        bool told;
    } cases[] = {{" 9", 0, true}, {" 0", 0, true}, {"-3", 0, true}, {" 8", 7, false}};
    for (const auto& c : cases) {
        store(QByteArray(c.line) + "\r\n 0\r\n 10\r\n 1\r\n 1\r\n 5\r\n 1\r\n 1\r\n 1\r\n");
        messages.shown.clear();
        open();
        EXPECT_EQ(w->Combo1->currentIndex(), c.index) << c.line;
        EXPECT_EQ(st.settings.CommPortNo, c.index + 1);
        ASSERT_EQ(messages.shown.size(), c.told ? 1u : 0u) << c.line;
        if (c.told) {
            EXPECT_TRUE(messages.shown[0].text.contains("COM1"));
        }
        w->close();
        flushDeletes();
    }
}

TEST_F(SettingsWindowTest, NoFileOpensWithTheInitialValuesSilently) {
    open();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(QStringList(
                  {w->Text1->text(), w->Text2->text(), w->Text3->text(), w->Text4->text(), w->Text5->text()}),
              QStringList({"0", "0", "10", "1", "1"}));
    EXPECT_EQ(w->Combo1->currentIndex(), 0);
}

TEST_F(SettingsWindowTest, CancelWritesNothingButKeepsWhatTheBoxesTookOver) {
    store(kSample);
    open();
    click(w->Option12);
    type(w->Text4, "80");
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    EXPECT_TRUE(closed());
    EXPECT_EQ(stored(), kSample);
    EXPECT_EQ(st.settings.SegmentCount, 20.0f);
    EXPECT_EQ(st.settings.CTRatio, 2.0f);
}

TEST_F(SettingsWindowTest, PortListShowsTheDeviceEachNumberReaches) {
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("COM2")));
    ASSERT_TRUE(QFile::link(dir.filePath("unplugged"), dir.filePath("COM4")));
    devices.devices = {{"/dev/ttyS0", {}, {}}};
    open();
    EXPECT_EQ(w->Combo1->count(), 8);
    EXPECT_EQ(w->Combo1->itemText(0), "COM1 → /dev/ttyS0");
    EXPECT_EQ(w->Combo1->itemText(1), "COM2 → /dev/null");
    EXPECT_EQ(w->Combo1->itemText(3), "COM4（未连接） → " + dir.filePath("unplugged"));
    EXPECT_EQ(w->Combo1->itemText(7), "COM8（未连接） → /dev/ttyS7");
}

// The devices present are offered for the number chosen in the list; choosing one links COMn to it (by its
// stable name when it has one), and the list then shows that device for the number.
TEST_F(SettingsWindowTest, DeviceChosenFromThePresentOnesBecomesTheSelectedNumber) {
    auto pty = ByteOutput::openPty();
    ASSERT_TRUE(pty);
    QTemporaryDir byId;
    const QString live = (*pty)->slavePath();
    const QString stable = byId.filePath("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ASSERT_TRUE(QFile::link(live, stable));
    devices.devices = {{live, "FT232R USB UART", "A50285BI"}, {"/dev/ttyUSB5", "CH340", {}}};
    devices.names = {{stable, live}};
    QFile(dir.filePath("COM5")).open(QIODevice::WriteOnly);  // not a link: never replaced

    const QStringList listed = {live + "  FT232R USB UART  序列号 A50285BI  固定名称 "
                                       "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                "/dev/ttyUSB5  CH340"};
    const struct {
        int port, row;
        QString link;  // where COMn leads afterwards; empty when the choice is refused
        QString item;
    } cases[] = {
        {5, 1, {}, "COM5 → " + dir.filePath("COM5")},
        {3, 0, stable, "COM3 → " + stable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        messages.shown.clear();
        open();
        w->Combo1->setCurrentIndex(c.port - 1);
        QTest::mouseClick(w->devicesButton, Qt::LeftButton);
        QPointer<PortDevicesDialog> d = w->findChild<PortDevicesDialog*>();
        ASSERT_TRUE(d);
        QStringList shown;
        for (int i = 0; i < d->list->count(); ++i) shown << d->list->item(i)->text();
        EXPECT_EQ(shown, listed);
        d->list->setCurrentRow(c.row);
        QTest::mouseClick(d->assignButton, Qt::LeftButton);
        flushDeletes();

        EXPECT_EQ(QFile::symLinkTarget(dir.filePath(QStringLiteral("COM%1").arg(c.port))), c.link);
        EXPECT_EQ(w->Combo1->itemText(c.port - 1), c.item);
        EXPECT_EQ(messages.shown.size(), c.link.isEmpty() ? 1u : 0u);
        EXPECT_EQ(d.isNull(), !c.link.isEmpty()) << "the dialog stays open after a refusal";
        w->Command1->click();  // OK keeps the link
        flushDeletes();
    }
    pty->reset();  // unplugged: COM3's stable name leads nowhere now
    open();
    EXPECT_EQ(w->Combo1->itemText(2), "COM3（未连接） → " + stable);
}

TEST_F(SettingsWindowTest, FailedWriteKeepsTheWindowOpenAndSaysSo) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("mervo.dft"));  // a directory where the file should go
    open();
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, kErrorTitle);
    EXPECT_FALSE(closed());
}

}  // namespace
}  // namespace mervo
