#include "windows/settings_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "files/port_choice.h"
#include "files/settings_entry.h"
#include "files/settings_file.h"
#include "platform/program_dir.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "shared/number_format.h"
#include "shared/time_split.h"
#include "shared/message_titles.h"
#include "windows/port_devices_dialog.h"

namespace mervo {

namespace {


// Stored values of the curve and segment options, in control order.
constexpr int16_t kCurveKinds[6] = {0, 3, 6, 7, 8, 9};
constexpr float kSegmentCounts[3] = {5, 10, 20};  // half the number in each caption

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, const QString& tip, int left,
                 int top, int width, int height) {
    auto* f = placed<QGroupBox>(parent, name, left, top, width, height, caption);
    f->setToolTip(tip);
    return f;
}

template <class T>
T* control(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height) {
    return placed<T>(parent, name, left, top, width, height, text);
}

// Leaves every option of an exclusive group unticked (an exclusive group will not untick its last option).
void untickAll(std::initializer_list<QRadioButton*> options) {
    for (QRadioButton* o : options) {
        o->setAutoExclusive(false);
        o->setChecked(false);
        o->setAutoExclusive(true);
    }
}

}  // namespace

SettingsWindow::SettingsWindow(SharedState& state, MessageBoxes& messages, QString programDir,
                               const SerialDeviceList& devices, QWidget* parent)
    : QWidget(parent, Qt::Window),
      st_(state),
      messages_(messages),
      dir_(std::move(programDir)),
      devices_(devices),
      assignments_(dir_) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("MERVO...设置"));
    setFont(designedFont());
    // Designed as the window's outer size, 7200 x 5925 twips, with the controls placed in its client area: that
    // is the outer size less a 45-twip border on each side and a 300-twip caption bar.
    setFixedTwipsSize(this, 7200 - 2 * 45, 5925 - 2 * 45 - 300);

    Frame1 = frame(this, "Frame1", QStringLiteral("1.串行口选择："), QStringLiteral("与仪表联接的串行口号"),
                   360, 240, 6375, 615);
    // The designed width holds only "COMn"; the device path needs the rest of the frame.
    Combo1 = placed<QComboBox>(Frame1, QStringLiteral("Combo1"), 2640, 240, 3375, 300);
    for (int n = 1; n <= kPortCount; ++n) Combo1->addItem(QString());
    showPortDevices();
    // In the frame's empty left part, beside the list it serves; the designed controls keep their places.
    devicesButton =
        control<QPushButton>(Frame1, "devicesButton", QStringLiteral("串口设备…"), 1200, 240, 1335, 300);

    Frame2 = frame(this, "Frame2", QStringLiteral("2.当前曲线选择："),
                   QStringLiteral("分析时描绘曲线的当前曲线图"), 360, 1080, 6375, 855);
    Option4 = control<QRadioButton>(Frame2, "Option4", QStringLiteral("电流曲线"), 360, 240, 1800, 255);
    Option5 = control<QRadioButton>(Frame2, "Option5", QStringLiteral("电压曲线"), 2520, 240, 1800, 255);
    Option6 = control<QRadioButton>(Frame2, "Option6", QStringLiteral("功率曲线"), 4560, 240, 1695, 255);
    Option7 = control<QRadioButton>(Frame2, "Option7", QStringLiteral("功率因数曲线"), 360, 480, 1800, 255);
    Option8 = control<QRadioButton>(Frame2, "Option8", QStringLiteral("效率曲线"), 2520, 480, 1800, 255);
    Option9 = control<QRadioButton>(Frame2, "Option9", QStringLiteral("负载率曲线"), 4560, 480, 1695, 255);

    Frame5 = frame(this, "Frame5", QStringLiteral("3.分段曲线选择："),
                   QStringLiteral("当前数据的前后n段伸展曲线"), 360, 2160, 6375, 615);
    Option10 = control<QRadioButton>(Frame5, "Option10", QStringLiteral("10段"), 360, 240, 1800, 255);
    Option11 = control<QRadioButton>(Frame5, "Option11", QStringLiteral("20段"), 2520, 240, 1800, 255);
    Option12 = control<QRadioButton>(Frame5, "Option12", QStringLiteral("40段"), 4560, 240, 1695, 255);

    Frame3 = frame(this, "Frame3", QStringLiteral("4.累计时间："), QStringLiteral("需接收的总时间"), 360,
                   3000, 2895, 855);
    Text1 = control<QLineEdit>(Frame3, "Text1", QStringLiteral("0"), 240, 360, 555, 300);
    Label1 = control<QLabel>(Frame3, "Label1", QStringLiteral("时"), 840, 360, 240, 300);
    Text2 = control<QLineEdit>(Frame3, "Text2", QStringLiteral("0"), 1080, 360, 555, 300);
    Label2 = control<QLabel>(Frame3, "Label2", QStringLiteral("分"), 1680, 360, 240, 300);
    Text3 = control<QLineEdit>(Frame3, "Text3", QStringLiteral("10"), 1920, 360, 555, 300);
    Label3 = control<QLabel>(Frame3, "Label3", QStringLiteral("秒"), 2520, 360, 240, 300);

    Frame4 = frame(this, "Frame4", QStringLiteral("5.倍率设置："),
                   QStringLiteral("使用电流、电压互感器的倍率值"), 3600, 3000, 3135, 855);
    Label4 = control<QLabel>(Frame4, "Label4", QStringLiteral("CT倍率"), 120, 360, 690, 300);
    Text4 = control<QLineEdit>(Frame4, "Text4", QStringLiteral("1"), 840, 360, 615, 300);
    Label5 = control<QLabel>(Frame4, "Label5", QStringLiteral("PT倍率"), 1560, 360, 690, 300);
    Text5 = control<QLineEdit>(Frame4, "Text5", QStringLiteral("1"), 2280, 360, 735, 300);

    Frame6 = frame(this, "Frame6", QStringLiteral("6.电流互感器使用状态设定："),
                   QStringLiteral("设定使用的互感器，使用者打勾。"), 360, 4080, 6375, 615);
    Check1 = control<QCheckBox>(Frame6, "Check1", QStringLiteral("红色标"), 360, 240, 1800, 255);
    Check2 = control<QCheckBox>(Frame6, "Check2", QStringLiteral("蓝色标"), 2520, 240, 1800, 255);
    Check3 = control<QCheckBox>(Frame6, "Check3", QStringLiteral("黄色标"), 4560, 240, 1695, 255);

    Command1 = control<QPushButton>(this, "Command1", QStringLiteral("确 定"), 1320, 4920, 1215, 375);
    Command2 = control<QPushButton>(this, "Command2", QStringLiteral("取 消"), 4560, 4920, 1215, 375);

    // The list, option and check boxes take effect at once; only OK reads the fields and writes the file.
    connect(Combo1, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { Combo1_Click(); });
    QRadioButton* curves[6] = {Option4, Option5, Option6, Option7, Option8, Option9};
    for (int i = 0; i < 6; ++i)
        connect(curves[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) st_.settings.CurveKind = kCurveKinds[i];
        });
    QRadioButton* segments[3] = {Option10, Option11, Option12};
    for (int i = 0; i < 3; ++i)
        connect(segments[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) st_.settings.SegmentCount = kSegmentCounts[i];
        });
    auto flag = [this](QCheckBox* box, int16_t SettingsValues::*member) {
        connect(box, &QCheckBox::toggled, this,
                [this, member](bool on) { st_.settings.*member = on ? 1 : 0; });
    };
    flag(Check1, &SettingsValues::RedOn);
    flag(Check2, &SettingsValues::BlueOn);
    flag(Check3, &SettingsValues::YellowOn);
    connect(Command1, &QPushButton::clicked, this, &SettingsWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &SettingsWindow::Command2_Click);
    connect(devicesButton, &QPushButton::clicked, this, &SettingsWindow::devicesButton_Click);

    Form_Load();
}

void SettingsWindow::Form_Load() {
    SettingsValues& s = st_.settings;
    const SettingsReadReport report = readSettingsFile(settingsFilePath(dir_), s, st_.file.TotalTime);

    const DurationFields d = splitDuration(st_.file.TotalTime);
    Text1->setText(QString::number(d.hours, 'f', 0));
    Text2->setText(QString::number(d.minutes));
    Text3->setText(QString::number(d.seconds));
    Text4->setText(formatCaption(s.CTRatio));
    Text5->setText(formatCaption(s.PTRatio));

    QRadioButton* curves[6] = {Option4, Option5, Option6, Option7, Option8, Option9};
    untickAll({Option4, Option5, Option6, Option7, Option8, Option9});
    for (int i = 0; i < 6; ++i)
        if (s.CurveKind == kCurveKinds[i]) curves[i]->setChecked(true);
    QRadioButton* segments[3] = {Option10, Option11, Option12};
    untickAll({Option10, Option11, Option12});
    for (int i = 0; i < 3; ++i)
        if (s.SegmentCount == kSegmentCounts[i]) segments[i]->setChecked(true);

    // Ticking the boxes runs their handlers, which store the same values again.
    Check1->setChecked(s.RedOn == 1);
    Check2->setChecked(s.BlueOn == 1);
    Check3->setChecked(s.YellowOn == 1);

    // The reader has put a port outside COM1..COM8 back to 1: the list shows it and the operator is told.
    const QSignalBlocker quiet(Combo1);
    Combo1->setCurrentIndex(s.CommPortNo - 1);
    if (report.fileFound && !report.lineUsed[0])
        messages_.show(QStringLiteral("设置文件中的串行口号不在COM1～COM8之内！\r\n已改选COM1，请确认！"),
                       errorTitle(), MessageButtons::Ok);
}

void SettingsWindow::showPortDevices() {
    const std::vector<PresentDevice> present = presentDevices(devices_);
    for (int n = 1; n <= kPortCount; ++n)
        Combo1->setItemText(n - 1, portItemText(n, portReach(n, dir_, present)));
}

void SettingsWindow::devicesButton_Click() {
    auto* dialog = new PortDevicesDialog(Combo1->currentIndex() + 1, devices_, messages_, assignments_, dir_, this);
    connect(dialog, &PortDevicesDialog::assigned, this, &SettingsWindow::showPortDevices);
    dialog->show();
}

void SettingsWindow::Combo1_Click() {
    st_.settings.CommPortNo = static_cast<int16_t>(Combo1->currentIndex() + 1);
}

void SettingsWindow::Command1_Click() {
    // Every field is checked before anything is taken over: a refused OK leaves memory and file as they were.
    QLineEdit* timeFields[3] = {Text1, Text2, Text3};
    SettingsField bad = SettingsField::CTRatio;
    const Result<SettingsEntry> entry = checkSettingsTexts({Text4->text(), Text5->text(),
                                                            {Text1->text(), Text2->text(), Text3->text()}},
                                                           &bad);
    // Empty duration fields read as 0 once the ratios are accepted, and show it.
    if (entry || (bad != SettingsField::CTRatio && bad != SettingsField::PTRatio))
        for (QLineEdit* f : timeFields)
            if (f->text().trimmed().isEmpty()) f->setText(QStringLiteral("0"));
    if (!entry) {
        QLineEdit* const fields[5] = {Text4, Text5, Text1, Text2, Text3};
        QLineEdit* field = fields[static_cast<int>(bad)];
        messages_.show(entry.message() + QStringLiteral("\r\n请重新输入！"), errorTitle(), MessageButtons::Ok);
        field->setFocus();
        field->selectAll();
        return;
    }

    SettingsValues& s = st_.settings;
    s.CTRatio = entry->CTRatio;
    s.PTRatio = entry->PTRatio;
    st_.file.TotalTime = entry->TotalTime;
    s.TotalTimeSetting = st_.file.TotalTime;

    if (s.RedOn + s.BlueOn + s.YellowOn == 0) {
        messages_.show(QStringLiteral("至少需要选择连接一个互感器！\r\n请重新选择！"), errorTitle(),
                       MessageButtons::Ok);
        moveTwips(this, 3000, 2000);
        show();
        return;
    }
    s.recomputeWiringCode();
    if (Status written = writeSettingsFile(settingsFilePath(dir_), s); !written) {
        messages_.show(QStringLiteral("设置文件保存失败！\r\n") + written.message(), errorTitle(), MessageButtons::Ok);
        return;
    }
    // A receive that is running keeps the ratios, channels and duration it started with.
    if (st_.receive.Receiving)
        messages_.show(QStringLiteral("设置已保存，将在下一次接收时生效；正在进行的接收仍按开始时的设置记录。"),
                       receiveTitle(), MessageButtons::Ok);
    assignments_.keep();
    close();
}

void SettingsWindow::Command2_Click() {
    close();
}

void SettingsWindow::closeEvent(QCloseEvent* e) {
    if (Status undone = assignments_.undo(); !undone)
        messages_.show(QStringLiteral("串行口的设备分配未能撤销！\r\n") + undone.message(), errorTitle(),
                       MessageButtons::Ok);
    QWidget::closeEvent(e);
}

}  // namespace mervo
