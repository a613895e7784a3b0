// What the window tests share: one offscreen application, and a main window wired to fakes.
#pragma once

#include <QTemporaryDir>
#include <memory>

#include "windows/main_window.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/scripted_dialogs.h"
#include "platform/fake/scripted_serial_port.h"

namespace mervo::test {

void ensureApp();

// A main window over a temporary program directory, a hand-set clock and scripted port and dialogs.
struct MainWindowRig {
    MainWindowRig();
    ~MainWindowRig();
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
    SharedState state;
    FakeClock clock;
    ScriptedFileDialogs dialogs;
    ScriptedMessageBoxes messages;
    ScriptedSerialPort port;
    std::unique_ptr<MainWindow> window;
    int endProgramCalls = 0;
};

// Lets queued calls (the end-of-receive question) run.
void settle();

}  // namespace mervo::test
