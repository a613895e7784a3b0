// Enabled and visible states of the main window's buttons and menus, as the receive and the file operations
// change them. A change names only the controls it sets; the others stay as they are.
#pragma once

#include <optional>

namespace mervo {

struct ControlStates {
    std::optional<bool> Command1, Command2, Command3, Command4;  // enabled
    std::optional<bool> Command3Visible, Command4Visible;
    std::optional<bool> mnuFileOpen, mnuCLOSE, mnuSAVEFILE, mnuSAVE_AS, mnuTTT, mnuSet;

    // Applies the controls `change` names.
    void apply(const ControlStates& change);
    bool operator==(const ControlStates& o) const;
};

namespace states {
ControlStates startup();
ControlStates timedReceiveStarts();
ControlStates manualReceiveStarts();
ControlStates stopPressed();
ControlStates timedReceiveEnds();
ControlStates manualReceiveEnds();
// While a receive runs nothing may open, save, close or analyse a file, nor change the settings it uses.
ControlStates receiveLock();
ControlStates fileOpened();
ControlStates fileSaved();
ControlStates fileSavedAs();
ControlStates fileClosed();
}  // namespace states

}  // namespace mervo
