// The main window's buttons and menus written out as a literal, so a test states what it expects rather than
// reading the program's own tables.
#pragma once

#include <optional>

#include "shared/control_states.h"

namespace mervo::test {

// Twelve flags in this order: Command1..Command4 enabled, Command3 and Command4 visible, then mnuFileOpen,
// mnuCLOSE, mnuSAVEFILE, mnuSAVE_AS, mnuTTT, mnuSet enabled. '1' on, '0' off, '-' not set; blanks are ignored.
inline ControlStates controls(const char* flags) {
    ControlStates s;
    std::optional<bool>* entries[12] = {&s.Command1,        &s.Command2,        &s.Command3,    &s.Command4,
                                      &s.Command3Visible, &s.Command4Visible, &s.mnuFileOpen, &s.mnuCLOSE,
                                      &s.mnuSAVEFILE,     &s.mnuSAVE_AS,      &s.mnuTTT,      &s.mnuSet};
    int n = 0;
    for (const char* p = flags; *p && n < 12; ++p) {
        if (*p == ' ') continue;
        if (*p != '-') *entries[n] = *p == '1';
        ++n;
    }
    return s;
}

}  // namespace mervo::test
