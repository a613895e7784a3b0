// mervo: the operator's program.
#include <QApplication>

#include "windows/main_window.h"
#include "platform/program_dir.h"
#include "platform/qt_core/qt_serial_port.h"
#include "platform/qt_core/translations.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "platform/qt_widgets/widget_dialogs.h"
#include "platform/stop_signals.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    mervo::installChineseTranslations(app);  // Qt's dialogs and buttons speak the program's language
    app.setFont(mervo::designedFont());
    mervo::SharedState state;
    mervo::SystemClock clock;
    mervo::WidgetFileDialogs dialogs;
    mervo::WidgetMessageBoxes messages;
    mervo::QtSerialPort port;
    mervo::MainWindow window({state, clock, dialogs, messages, port, mervo::programDirectory()});
    window.show();
    // Ended from outside (a closed terminal, a shutdown), the program closes as from its menu: a receive in
    // progress finishes its file first.
    mervo::StopSignals stop;
    if (stop.install()) QObject::connect(&stop, &mervo::StopSignals::stopRequested, &window, &QWidget::close);
    return app.exec();
}
