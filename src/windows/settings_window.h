// Form2, the settings window: port, first curve, segments, timed duration, transformer ratios, clamp channels.
#pragma once

#include <QWidget>

#include "files/port_choice.h"
#include "platform/dialogs.h"
#include "platform/serial_devices.h"
#include "shared/shared_state.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mervo {

class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    SettingsWindow(SharedState& state, MessageBoxes& messages, QString programDir,
                   const SerialDeviceList& devices = systemSerialDevices(), QWidget* parent = nullptr);

    // Controls under their designed names (also their objectName), for the handlers and for tests.
    QComboBox* Combo1;
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5, *Frame6;
    QRadioButton *Option4, *Option5, *Option6, *Option7, *Option8, *Option9, *Option10, *Option11, *Option12;
    QLineEdit *Text1, *Text2, *Text3, *Text4, *Text5;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    QCheckBox *Check1, *Check2, *Check3;
    QPushButton *Command1, *Command2;
    // Beside the designed controls: the list of the serial devices present, to point a port number at one.
    QPushButton* devicesButton;

    void Form_Load();
    void Combo1_Click();
    void Command1_Click();  // OK
    void Command2_Click();  // Cancel
    void devicesButton_Click();

protected:
    // Closing the window other than by a successful OK puts back the port links the device list changed.
    void closeEvent(QCloseEvent* e) override;

private:
    // Each number in the list with the device it reaches now.
    void showPortDevices();

    SharedState& st_;
    MessageBoxes& messages_;
    QString dir_;
    const SerialDeviceList& devices_;
    PortAssignments assignments_;
};

}  // namespace mervo
