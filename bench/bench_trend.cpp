// The trend window on a long measurement (a generated day of 2,760,000 samples, 24 hours at 32 a second, or
// the file given):
//
//   bench_trend [--samples N] [--file PATH] [--shots DIR] [--open-only]
//
// prints, each beside its goal, the time from opening the window to its first picture and to the picture of
// every sample, the longest the window's event loop waited meanwhile, the redraw time at each zoom level from
// the whole file to ten seconds and of zoom and pan steps, the time to sum the interval table over a week (or
// the whole file when shorter) with its longest slice, and the process's peak memory. Times are wall clock
// and the process's processor time: on a machine shared with other work, the processor time is the steadier.
// With --shots, also saves the window's first picture, then zoomed out, zoomed into one minute and with its
// cursors and table, as PNG pictures. --open-only stops once the picture of every sample is drawn (for
// counting its instructions, e.g. under valgrind --tool=callgrind, when the machine is too busy for steady
// times). Runs on the offscreen platform when there is no display.
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <numeric>
#include <qcustomplot.h>
#include <vector>

#include "day_file.h"
#include "platform/qt_widgets/twips_widgets.h"
#include "windows/trend_plots.h"
#include "windows/trend_window.h"

namespace {

class StderrMessages : public mervo::MessageBoxes {
public:
    mervo::MessageAnswer show(const QString& text, const QString&, mervo::MessageButtons) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return mervo::MessageAnswer::Ok;
    }
};

class NoDialogs : public mervo::FileDialogs {
public:
    std::optional<QString> choose(const mervo::FileDialogRequest&) override { return std::nullopt; }
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Wall and processor time since it was made.
struct Stopwatch {
    QElapsedTimer wall;
    double cpu0 = cpuSeconds();
    Stopwatch() { wall.start(); }
    double wallSeconds() const { return static_cast<double>(wall.nsecsElapsed()) / 1e9; }
    double cpu() const { return cpuSeconds() - cpu0; }
};

struct Times {
    std::vector<double> wall, cpu;  // ms
    void add(const Stopwatch& s) {
        wall.push_back(s.wallSeconds() * 1e3);
        cpu.push_back(s.cpu() * 1e3);
    }
    static double mean(const std::vector<double>& v) {
        return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    }
    void print(const char* what) const {
        if (wall.empty()) return;
        std::printf(
            "%-34s wall mean %6.1f max %6.1f ms, CPU mean %6.1f max %6.1f ms, %3zu steps  (goal <= 50 ms)\n",
            what, mean(wall), *std::max_element(wall.begin(), wall.end()), mean(cpu),
            *std::max_element(cpu.begin(), cpu.end()), wall.size());
    }
};

// Sets the view and draws every visible panel at once, and lets the window paint itself, timed.
void redrawAt(mervo::TrendWindow& w, double t0, double t1, Times* times = nullptr) {
    Stopwatch s;
    w.plots->setView(t0, t1);
    w.plots->redrawNow();
    QApplication::processEvents();
    if (times) times->add(s);
}

// Runs the event loop until `done`, noting the longest single pass of it (the window's longest stall).
template <class Done>
double runUntil(QApplication& app, Done done) {
    double longest = 0;
    while (!done()) {
        QElapsedTimer t;
        t.start();
        app.processEvents();
        longest = std::max(longest, static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return longest;
}

QString spanName(double seconds) {
    if (seconds >= 86400) return QStringLiteral("%1 d").arg(seconds / 86400, 0, 'g', 3);
    if (seconds >= 3600) return QStringLiteral("%1 h").arg(seconds / 3600, 0, 'g', 3);
    if (seconds >= 60) return QStringLiteral("%1 min").arg(seconds / 60, 0, 'g', 3);
    return QStringLiteral("%1 s").arg(seconds, 0, 'g', 3);
}

}  // namespace

int main(int argc, char** argv) {
    long samples = 2760000;
    QString file, shots;
    bool openOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--samples") && i + 1 < argc) samples = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--file") && i + 1 < argc) file = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--shots") && i + 1 < argc) shots = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--open-only")) openOnly = true;
        else {
            std::fprintf(stderr,
                         "usage: bench_trend [--samples N] [--file PATH] [--shots DIR] [--open-only]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setFont(mervo::designedFont());
    QTemporaryDir dir;
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("day.MTQ"));
        std::fprintf(stderr, "bench_trend: writing %ld samples\n", samples);
        if (!bench::generate(file.toStdString(), samples)) {
            std::fprintf(stderr, "bench_trend: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }

    mervo::SharedState st;
    st.file.WorkFile = file;
    StderrMessages messages;
    NoDialogs dialogs;
    Stopwatch opening;
    mervo::TrendWindow w({st, messages, dialogs, dir.path(), nullptr, {}, {}, {}, {}, nullptr});
    w.resize(1400, 860);
    w.show();
    // The first picture: the plots hold the curves of what is summarised so far, and have painted them.
    const auto drawn = [&w] { return w.plots->panels[0]->graph(0)->dataCount() > 0; };
    double stall = runUntil(app, [&] { return drawn() || !w.loading(); });
    app.processEvents();
    const double firstWall = opening.wallSeconds(), firstCpu = opening.cpu();
    if (!shots.isEmpty()) w.grab().save(shots + QStringLiteral("/trend_first_picture.png"));
    stall = std::max(stall, runUntil(app, [&] { return !w.loading(); }));
    w.plots->redrawNow();
    const double wholeWall = opening.wallSeconds(), wholeCpu = opening.cpu();
    if (!w.source() || w.source()->empty()) return 1;
    const mervo::TrendSource& s = *w.source();
    const double days = s.time(s.size() - 1) / 86400;
    const double openGoal = s.size() <= 7 * 2760000 ? 1 : 3;
    std::printf("%s: %lld samples, %.1f days\n", qPrintable(file), static_cast<long long>(s.size()), days);
    std::printf("%-34s wall %6.2f s, CPU %6.2f s\n", "open to first picture", firstWall, firstCpu);
    std::printf("%-34s wall %6.2f s, CPU %6.2f s  (goal <= %.0f s)\n", "open to the picture of every sample",
                wholeWall, wholeCpu, openGoal);
    std::printf("%-34s %6.1f ms\n", "longest event-loop pass meanwhile", stall);
    struct rusage ru {};
    const auto peak = [&ru, &s] {
        getrusage(RUSAGE_SELF, &ru);
        std::printf("%-34s %6.1f MB (goal <= 300 MB); the source holds %.1f MB\n", "peak memory",
                    ru.ru_maxrss / 1024.0, static_cast<double>(s.bytes()) / (1 << 20));
    };
    if (openOnly) {
        peak();
        return 0;
    }
    // The table of the whole file, summed after the picture.
    Stopwatch whole;
    const double tableStall = runUntil(app, [&] { return !w.computing(); });
    std::printf("%-34s wall %6.2f s, CPU %6.2f s, longest pass %.1f ms\n", "then the table of the whole file",
                whole.wallSeconds(), whole.cpu(), tableStall);
    if (!shots.isEmpty()) w.grab().save(shots + QStringLiteral("/trend_zoomed_out.png"));

    const double first = s.time(0), last = s.time(s.size() - 1);
    // Each zoom level at five places across the file, each drawn for the first time there.
    for (double span : {last - first, 7 * 86400.0, 86400.0, 6 * 3600.0, 3600.0, 600.0, 60.0, 10.0}) {
        if (span > last - first) continue;
        Times t;
        for (int k = 0; k < 5; ++k) {
            const double a = first + (last - first - span) * (k + 0.5) / 5.0;
            redrawAt(w, a, a + span, &t);
        }
        t.print(qPrintable(QStringLiteral("redraw at %1").arg(spanName(span))));
    }
    Times full, zoom, pan;
    for (int k = 0; k < 10; ++k) redrawAt(w, first, last, &full);
    // Wheel steps into the middle, from the whole file to a few seconds.
    double t0 = first, t1 = last;
    while (t1 - t0 > 5) {
        const double c = (t0 + t1) / 2, half = (t1 - t0) * 0.85 / 2;
        t0 = c - half;
        t1 = c + half;
        redrawAt(w, t0, t1, &zoom);
    }
    // Drags across the file at spans of six hours, one hour and one minute.
    for (double span : {6 * 3600.0, 3600.0, 60.0}) {
        for (int k = 0; k < 10; ++k) {
            const double a = first + (last - first - span) * k / 9.0;
            redrawAt(w, a, a + span, &pan);
        }
    }
    full.print("redraw, whole file again");
    zoom.print("redraw, zoom steps");
    pan.print("redraw, pan steps");

    // The table between cursors a week apart (or the whole file), summed a slice at a time.
    const int64_t a = s.size() / 10,
                  b = std::min(s.size() - 1, a + static_cast<int64_t>(7 * 86400 / s.stepSeconds()));
    Stopwatch interval;
    w.setCursorNumbers(s.firstNumber + a, s.firstNumber + b);
    const double intervalStall = runUntil(app, [&] { return !w.computing(); });
    std::printf("%-34s wall %6.2f s, CPU %6.2f s, longest pass %.1f ms (goal: slices <= ~16 ms)\n",
                qPrintable(QStringLiteral("table of %1 samples").arg(b - a + 1)), interval.wallSeconds(),
                interval.cpu(), intervalStall);

    if (!shots.isEmpty()) {
        const double noon = first + (last - first) / 2;
        redrawAt(w, noon, noon + 60);
        w.grab().save(shots + QStringLiteral("/trend_one_minute.png"));
        w.timeMode->setCurrentIndex(1);  // the time of day
        redrawAt(w, noon - 1800, noon + 1800);
        const int64_t ca = s.nearest(noon - 900), cb = s.nearest(noon + 600);
        w.setCursorNumbers(s.firstNumber + ca, s.firstNumber + cb);
        runUntil(app, [&] { return !w.computing(); });
        w.plots->redrawNow();
        w.grab().save(shots + QStringLiteral("/trend_cursors_table.png"));
    }
    peak();
    return 0;
}
