// mervo: the operator's program.
#include <QApplication>

#include "windows/main_window.h"
#include "platform/program_dir.h"
#include "platform/qt/qt_serial_port.h"
#include "platform/qt/twips_widgets.h"
#include "platform/qt/widget_dialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setFont(mervo::designedFont());
    mervo::SharedState state;
    mervo::SystemClock clock;
    mervo::WidgetFileDialogs dialogs;
    mervo::WidgetMessageBoxes messages;
    mervo::QtSerialPort port;
    mervo::MainWindow window({state, clock, dialogs, messages, port, mervo::programDirectory()});
    window.show();
    return app.exec();
}
