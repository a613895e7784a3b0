// The trend window on a day-long measurement (2,760,000 samples, 24 hours at 32 a second):
//
//   bench_trend [--samples N] [--file PATH] [--shots DIR]
//
// prints the time from opening the window to its first complete picture, the redraw time of zoom and pan
// steps at several spans, and the process's peak memory, beside the goals (2 s, 50 ms, 250 MB). With --shots,
// also saves the window zoomed out, zoomed into one minute and with its cursors and table, as PNG pictures.
// Runs on the offscreen platform when there is no display.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

#include "day_file.h"
#include <QComboBox>

#include "platform/qt/twips_widgets.h"
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

struct Times {
    std::vector<double> ms;
    void print(const char* what) const {
        if (ms.empty()) return;
        const double mean = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
        std::printf("%-28s mean %6.1f ms, max %6.1f ms over %zu steps (goal <= 50 ms)\n", what, mean,
                    *std::max_element(ms.begin(), ms.end()), ms.size());
    }
};

// Sets the view and draws every visible panel at once, timed.
double redrawAt(mervo::TrendWindow& w, double t0, double t1) {
    QElapsedTimer t;
    t.start();
    w.plots->setView(t0, t1);
    w.plots->redrawNow();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    long samples = 2760000;
    QString file, shots;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--samples") && i + 1 < argc) samples = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--file") && i + 1 < argc) file = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--shots") && i + 1 < argc) shots = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench_trend [--samples N] [--file PATH] [--shots DIR]\n");
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
    QElapsedTimer opening;
    opening.start();
    mervo::TrendWindow w({st, messages, dialogs, dir.path(), nullptr, {}, {}});
    w.resize(1400, 860);
    w.show();
    while (w.loading()) app.processEvents();
    w.plots->redrawNow();
    const double openSeconds = static_cast<double>(opening.nsecsElapsed()) / 1e9;
    if (!w.source() || w.source()->empty()) return 1;
    const auto& s = *w.source();
    std::printf("%-28s %6.2f s for %lld samples (goal <= 2 s)\n", "open to first picture", openSeconds,
                static_cast<long long>(s.size()));
    if (!shots.isEmpty()) w.grab().save(shots + QStringLiteral("/trend_day_zoomed_out.png"));

    const double first = s.time(0), last = s.time(s.size() - 1);
    Times full, zoom, pan;
    for (int k = 0; k < 10; ++k) full.ms.push_back(redrawAt(w, first, last));
    // Wheel steps into the middle, from the whole day to a few seconds.
    double t0 = first, t1 = last;
    while (t1 - t0 > 5) {
        const double c = (t0 + t1) / 2, half = (t1 - t0) * 0.85 / 2;
        t0 = c - half;
        t1 = c + half;
        zoom.ms.push_back(redrawAt(w, t0, t1));
    }
    // Drags across the day at spans of six hours, one hour and one minute.
    for (double span : {6 * 3600.0, 3600.0, 60.0}) {
        for (int k = 0; k < 10; ++k) {
            const double a = first + (last - first - span) * k / 9.0;
            pan.ms.push_back(redrawAt(w, a, a + span));
        }
    }
    full.print("redraw, whole day");
    zoom.print("redraw, zoom steps");
    pan.print("redraw, pan steps");

    if (!shots.isEmpty()) {
        const double noon = 4 * 3600.0;  // 12:00 on the clock of a file started at 08:00
        redrawAt(w, noon, noon + 60);
        w.grab().save(shots + QStringLiteral("/trend_day_one_minute.png"));
        w.timeMode->setCurrentIndex(1);  // the time of day
        redrawAt(w, noon - 1800, noon + 1800);
        const int64_t a = s.nearest(noon - 900), b = s.nearest(noon + 600);
        w.setCursorNumbers(s.firstNumber + a, s.firstNumber + b);
        w.plots->redrawNow();
        w.grab().save(shots + QStringLiteral("/trend_day_cursors_table.png"));
    }
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("%-28s %6.1f MB (goal <= 250 MB); the series %.1f MB\n", "peak memory", ru.ru_maxrss / 1024.0,
                static_cast<double>(s.bytes()) / (1 << 20));
    return 0;
}
