// The analysis window's pass over a measurement, as an operator starts it: the real window, shown, its
// 分析 button clicked. A zero-interval probe timer timestamps every turn of the event loop, so the longest gap
// between two turns is the longest the window could not answer a click or repaint.
//
//   bench_window_pass FILE     prints: pass seconds, longest event-loop stall in ms, 1 if the pass finished,
//                              and the ms the click's own handler took
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "windows/analysis_window.h"

namespace {

// Every message is answered as the operator most likely would: OK, or Yes to recovering a file.
class AnswerYes : public mervo::MessageBoxes {
public:
    mervo::MessageAnswer show(const QString&, const QString&, mervo::MessageButtons b) override {
        return b == mervo::MessageButtons::YesNo ? mervo::MessageAnswer::Yes : mervo::MessageAnswer::Ok;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_window_pass FILE\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir home;
    mervo::SharedState st;
    st.file.WorkFile = QString::fromLocal8Bit(argv[1]);
    AnswerYes answers;
    mervo::AnalysisWindow w(st, answers, home.path());
    w.show();

    QElapsedTimer clock;
    qint64 lastTurn = -1, longest = 0, startedAt = 0, endedAt = -1, clickNs = 0;
    bool started = false;
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTurn >= 0) longest = std::max(longest, now - lastTurn);
        lastTurn = now;
        if (started && !w.analysing() && endedAt < 0) {
            endedAt = now;
            app.quit();
        }
    });
    // The click comes once the window has been painted and the loop runs; its handler is part of what the probe
    // sees, as an operator would.
    QTimer::singleShot(200, [&] {
        clock.start();
        probe.start();
        QTimer::singleShot(0, [&] {
            startedAt = clock.nsecsElapsed();
            started = true;
            w.Command2_Click();
            clickNs = clock.nsecsElapsed() - startedAt;
        });
    });
    app.exec();
    std::printf("%.3f %.1f %d %.1f\n", (endedAt - startedAt) / 1e9, longest / 1e6, w.analysed() ? 1 : 0, clickNs / 1e6);
    return w.analysed() ? 0 : 1;
}
