// The serial devices present on this machine, offered for the port number chosen in the settings window:
// choosing one points the link COMn in the program directory at it, so the settings file keeps its number. A
// link that would then lead elsewhere, or whose device is in use, is replaced only once the operator agrees.
#pragma once

#include <QDialog>
#include <vector>

#include "files/port_choice.h"
#include "platform/dialogs.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace mervo {

class PortDevicesDialog : public QDialog {
    Q_OBJECT
  public:
    // The links go through `assignments`, which the settings window keeps for its Cancel.
    PortDevicesDialog(int portNo, const SerialDeviceList& devices, MessageBoxes& messages,
                      PortAssignments& assignments, QString programDir, QWidget* parent);

    QLabel* note;
    QListWidget* list;
    QPushButton *assignButton, *refreshButton, *closeButton;

    // Lists the devices anew (an adapter plugged in or out since).
    void refresh();
    // Points COMn at the selected device, asking first when that would disturb it; on success the dialog closes.
    void assign();

  signals:
    void assigned(int portNo);

  private:
    int portNo_;
    const SerialDeviceList& devices_;
    MessageBoxes& messages_;
    PortAssignments& assignments_;
    QString dir_;
    std::vector<PresentDevice> shown_;
};

}  // namespace mervo
