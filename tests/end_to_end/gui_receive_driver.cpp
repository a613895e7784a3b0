// The operator's program as `mervo` builds it, with one difference: once the window is up, it presses the
// timed ("timed" argument) or manual ("manual") receive button itself and prints "receiving" on stdout. The kill
// test uses it to kill a real window receive, with the real serial port and working file, at a chosen moment.
// Message boxes are written to stderr and answered "No", so nothing waits for a person.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "windows/main_window.h"
#include "platform/program_dir.h"
#include "platform/qt_core/qt_serial_port.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "platform/qt_widgets/widget_dialogs.h"

namespace {

class StderrMessageBoxes : public mervo::MessageBoxes {
public:
    mervo::MessageAnswer show(const QString& text, const QString& title, mervo::MessageButtons buttons) override {
        std::fprintf(stderr, "message [%s]: %s\n", qPrintable(title), qPrintable(text));
        std::fflush(stderr);
        return buttons == mervo::MessageButtons::YesNo ? mervo::MessageAnswer::No : mervo::MessageAnswer::Ok;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool manual = argc > 1 && std::strcmp(argv[1], "manual") == 0;
    QApplication app(argc, argv);
    app.setFont(mervo::designedFont());
    mervo::SharedState state;
    mervo::SystemClock clock;
    mervo::WidgetFileDialogs dialogs;
    StderrMessageBoxes messages;
    mervo::QtSerialPort port;
    mervo::MainWindow window({state, clock, dialogs, messages, port, mervo::programDirectory()});
    window.show();
    QTimer::singleShot(0, &window, [&] {
        QPushButton* button = manual ? window.Command3 : window.Command1;
        if (!button->isEnabled()) {
            std::fprintf(stderr, "receive button disabled\n");
            QApplication::exit(3);
            return;
        }
        button->click();
        std::printf("receiving\n");
        std::fflush(stdout);
    });
    return app.exec();
}
