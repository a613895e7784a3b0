#include "shared/control_states.h"

namespace mervo {

void ControlStates::apply(const ControlStates& c) {
    auto take = [](std::optional<bool>& to, const std::optional<bool>& from) {
        if (from) to = from;
    };
    take(Command1, c.Command1);
    take(Command2, c.Command2);
    take(Command3, c.Command3);
    take(Command4, c.Command4);
    take(Command3Visible, c.Command3Visible);
    take(Command4Visible, c.Command4Visible);
    take(mnuFileOpen, c.mnuFileOpen);
    take(mnuCLOSE, c.mnuCLOSE);
    take(mnuSAVEFILE, c.mnuSAVEFILE);
    take(mnuSAVE_AS, c.mnuSAVE_AS);
    take(mnuTTT, c.mnuTTT);
    take(mnuSet, c.mnuSet);
}

bool ControlStates::operator==(const ControlStates& o) const {
    return Command1 == o.Command1 && Command2 == o.Command2 && Command3 == o.Command3 && Command4 == o.Command4 &&
           Command3Visible == o.Command3Visible && Command4Visible == o.Command4Visible &&
           mnuFileOpen == o.mnuFileOpen && mnuCLOSE == o.mnuCLOSE && mnuSAVEFILE == o.mnuSAVEFILE &&
           mnuSAVE_AS == o.mnuSAVE_AS && mnuTTT == o.mnuTTT && mnuSet == o.mnuSet;
}

namespace states {

constexpr bool T = true, F = false;

ControlStates startup() {
    ControlStates s;
    s.Command1 = T;
    s.Command2 = F;
    s.Command3 = T;
    s.Command3Visible = T;
    s.Command4 = F;
    s.Command4Visible = F;
    s.mnuFileOpen = T;
    s.mnuCLOSE = s.mnuSAVEFILE = s.mnuSAVE_AS = s.mnuTTT = F;
    s.mnuSet = T;
    return s;
}

ControlStates timedReceiveStarts() {
    ControlStates s;
    s.Command1 = s.Command3 = s.Command4 = F;
    return s;
}

ControlStates manualReceiveStarts() {
    ControlStates s;
    s.Command1 = s.Command2 = F;
    s.Command3 = F;
    s.Command3Visible = F;
    s.Command4 = T;
    s.Command4Visible = T;
    return s;
}

ControlStates stopPressed() {
    ControlStates s;
    s.Command1 = s.Command2 = T;
    s.Command3 = s.Command3Visible = T;
    s.Command4 = s.Command4Visible = F;
    return s;
}

ControlStates timedReceiveEnds() {
    ControlStates s;
    s.Command1 = s.Command2 = s.Command3 = s.Command4 = T;
    s.mnuFileOpen = T;
    s.mnuCLOSE = s.mnuSAVEFILE = T;
    s.mnuSAVE_AS = F;
    s.mnuTTT = s.mnuSet = T;
    return s;
}

ControlStates manualReceiveEnds() {
    ControlStates s;
    s.Command1 = s.Command2 = T;
    s.mnuFileOpen = T;
    s.mnuCLOSE = s.mnuSAVEFILE = T;
    s.mnuSAVE_AS = F;
    s.mnuTTT = s.mnuSet = T;
    return s;
}

ControlStates receiveLock() {
    ControlStates s;
    s.Command2 = F;
    s.mnuFileOpen = s.mnuCLOSE = s.mnuSAVEFILE = s.mnuSAVE_AS = s.mnuTTT = s.mnuSet = F;
    return s;
}

ControlStates fileOpened() {
    ControlStates s;
    s.mnuCLOSE = s.mnuSAVE_AS = s.mnuTTT = s.Command2 = T;
    s.mnuSAVEFILE = s.Command1 = s.Command4 = s.Command3 = F;
    return s;
}

ControlStates fileSaved() {
    ControlStates s;
    s.mnuCLOSE = s.mnuSAVEFILE = s.mnuTTT = s.Command2 = s.Command1 = s.mnuSet = s.Command3 = T;
    s.mnuSAVE_AS = s.Command4 = F;
    return s;
}

ControlStates fileSavedAs() {
    ControlStates s;
    s.mnuCLOSE = s.mnuSAVE_AS = s.mnuTTT = s.Command2 = T;
    s.mnuSAVEFILE = s.Command1 = s.mnuSet = F;
    return s;
}

ControlStates fileClosed() {
    ControlStates s;
    s.mnuCLOSE = s.mnuSAVEFILE = s.mnuSAVE_AS = s.mnuTTT = s.Command2 = F;
    s.Command1 = s.mnuSet = s.Command4 = s.Command3 = T;
    return s;
}

}  // namespace states
}  // namespace mervo
