// The operator's program as `mervo` builds it, driven through its save path: "save SOURCE DEST" opens SOURCE with
// 打开, prints "saving" on stdout, saves it to DEST with 另存为 (the copy 保存 makes of a receive's working file
// too) and prints "saved"; "start" only starts (what a start
// does first, the sweep of the program directory, included) and prints "started". The kill test uses it to kill
// a real window's Save at a chosen moment. File dialogs answer with the paths given; message boxes are written to
// stderr and answered "No", so nothing waits for a person.
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "platform/program_dir.h"
#include "platform/qt_core/qt_serial_port.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "windows/main_window.h"

namespace {

class StderrMessageBoxes : public mervo::MessageBoxes {
public:
    mervo::MessageAnswer show(const QString& text, const QString& title, mervo::MessageButtons buttons) override {
        std::fprintf(stderr, "message [%s]: %s\n", qPrintable(title), qPrintable(text));
        std::fflush(stderr);
        return buttons == mervo::MessageButtons::YesNo ? mervo::MessageAnswer::No : mervo::MessageAnswer::Ok;
    }
};

// Answers each file dialog with the next path given, in order.
class GivenFileDialogs : public mervo::FileDialogs {
public:
    explicit GivenFileDialogs(QStringList paths) : paths_(std::move(paths)) {}
    std::optional<QString> choose(const mervo::FileDialogRequest&) override {
        if (paths_.isEmpty()) return std::nullopt;
        return paths_.takeFirst();
    }

private:
    QStringList paths_;
};

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const bool save = argc == 4 && std::strcmp(argv[1], "save") == 0;
    if (!save && !(argc == 2 && std::strcmp(argv[1], "start") == 0)) {
        std::fprintf(stderr, "usage: mervo-gui-save-driver start | save SOURCE DEST\n");
        return 2;
    }
    QApplication app(argc, argv);
    app.setFont(mervo::designedFont());
    mervo::SharedState state;
    mervo::SystemClock clock;
    GivenFileDialogs dialogs(save ? QStringList{QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])}
                                  : QStringList{});
    StderrMessageBoxes messages;
    mervo::QtSerialPort port;
    mervo::MainWindow window({state, clock, dialogs, messages, port, mervo::programDirectory()});
    window.show();
    QTimer::singleShot(0, &window, [&] {
        if (!save) {
            say("started");
            QApplication::exit(0);
            return;
        }
        window.mnuFileOpen->trigger();
        if (!window.mnuSAVE_AS->isEnabled()) {
            std::fprintf(stderr, "save disabled after opening %s\n", argv[2]);
            QApplication::exit(3);
            return;
        }
        say("saving");
        window.mnuSAVE_AS->trigger();
        say("saved");
        QApplication::exit(0);
    });
    return app.exec();
}
