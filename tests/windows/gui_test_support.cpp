#include "windows/gui_test_support.h"

#include <QApplication>
#include <QCoreApplication>

namespace mervo::test {

void ensureApp() {
    static int argc = 1;
    static char name[] = "test_windows";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

MainWindowRig::MainWindowRig() {
    ensureApp();
    qputenv("MERVO_HOME", dir.path().toLocal8Bit());
    window = std::make_unique<MainWindow>(MainWindowContext{state, clock, dialogs, messages, port, dir.path()});
    window->endProgram = [this] { ++endProgramCalls; };
}

MainWindowRig::~MainWindowRig() {
    window.reset();
    for (QWidget* w : QApplication::topLevelWidgets()) w->close();
    settle();
}

void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

}  // namespace mervo::test
