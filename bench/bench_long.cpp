// A day, a week and a month of the generated recording (bench/day_file.h, the day repeated) through the jobs
// that read a whole measurement, each as a whole process beside `cat FILE > /dev/null` timed in the same run:
//
//   bench_long [--dir DIR] [--lengths day,week,month] [--runs N] [--keep]
//
// analyze and export to stdout as ratios to cat, assess and report as ratios to analyze, each pair timed side by
// side, run for run (medians of N runs, 3 by default; at least 9 on a day, whose runs are short and noisy), the analysis window's pass (bench_window_pass: seconds, longest event-loop stall, peak memory) and the
// trend window (bench_trend --file: open to first picture, peak memory), each with its goal beside it, then the
// whole as one table. The files (0.1, 0.7 and 3.1 GB) go to DIR (a temporary folder by default) and are removed
// at the end unless --keep. The windows run under Xvfb when there is no display and xvfb-run is installed,
// otherwise on the offscreen platform.
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "process_run.h"

namespace {

using bench::medianSideBySide;
using bench::run;
using bench::Run;
using bench::sizeOf;
using bench::verdict;

struct Length {
    std::string name;
    int days;
};

// One line of the table: what was measured on each length, and its goal.
struct Figure {
    std::string what, goal;
    std::map<std::string, std::string> at;  // by length
};

std::string format(const char* f, double a, double b = 0) {
    char buf[96];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

// A number after `key` in `text` (after `then` too, where the line has words between), or -1.
double after(const std::string& text, const std::string& key, const std::string& then = {}) {
    size_t at = text.find(key);
    if (at == std::string::npos) return -1;
    at += key.size();
    if (!then.empty()) {
        at = text.find(then, at);
        if (at == std::string::npos) return -1;
        at += then.size();
    }
    return std::atof(text.c_str() + at);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it is measured, also into a file
    std::string dirArg, lengthsArg = "day,week,month";
    int runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dir" && i + 1 < argc) dirArg = argv[++i];
        else if (a == "--lengths" && i + 1 < argc) lengthsArg = argv[++i];
        else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--keep") keep = true;
        else {
            std::fprintf(stderr, "usage: bench_long [--dir DIR] [--lengths day,week,month] [--runs N] [--keep]\n");
            return 2;
        }
    }
    const std::map<std::string, int> known = {{"day", 1}, {"week", 7}, {"month", 31}};
    std::vector<Length> lengths;
    std::stringstream list(lengthsArg);
    for (std::string name; std::getline(list, name, ',');) {
        if (!known.count(name)) {
            std::fprintf(stderr, "bench_long: unknown length %s (day, week or month)\n", name.c_str());
            return 2;
        }
        lengths.push_back({name, known.at(name)});
    }
    QTemporaryDir temporary;
    const std::string dir = dirArg.empty() ? temporary.path().toStdString() : dirArg;
    const std::string bin = MERVO_BIN_DIR, benchDir = MERVO_BENCH_DIR;
    const std::string tool = bin + "/mervo-tool";

    // The windows want a display: Xvfb where it can be had, as an operator's desktop would be.
    std::vector<std::string> display;
    const bool xvfb = !std::getenv("DISPLAY") && ::access("/usr/bin/xvfb-run", X_OK) == 0;
    if (xvfb) display = {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"};
    else if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int dayRuns = std::max(runs, 9);
    std::printf("windows on %s; medians of %d runs (%d on a day), each ratio's two commands run in turn\n",
                xvfb ? "Xvfb" : "the offscreen platform", runs, dayRuns);

    std::vector<Figure> table = {
        {"measurement", "", {}},
        {"cat FILE > /dev/null", "", {}},
        {"analyze", "", {}},
        {"assess", "<= 3x analyze", {}},
        {"export to stdout", "<= 100x cat", {}},
        {"analysis window pass", "<= 3 s, <= 300 MB on the month; stall <= 50 ms", {}},
        {"report", "<= 3x analyze", {}},
        {"trend window: open (every sample drawn)", "<= 1 s week, <= 3 s month", {}},
        {"trend window: peak memory", "<= 300 MB month", {}},
    };
    const auto put = [&](size_t row, const Length& l, const std::string& text) { table[row].at[l.name] = text; };

    for (const Length& l : lengths) {
        const std::string file = dir + "/" + l.name + ".MTQ";
        std::printf("\n== %s (%d day%s)\n", l.name.c_str(), l.days, l.days > 1 ? "s" : "");
        const Run made = run({benchDir + "/make_day_file", file, "--days", std::to_string(l.days)});
        if (made.status != 0) {
            std::fprintf(stderr, "bench_long: cannot write %s\n", file.c_str());
            return 1;
        }
        const double mb = sizeOf(file) / 1e6;
        std::printf("measurement          %.0f MB\n", mb);
        put(0, l, format("%.0f MB", mb));

        const int n = l.days <= 1 ? dayRuns : runs;
        const std::vector<std::string> catFile = {"cat", file}, analyzeFile = {tool, "analyze", file};
        run(catFile);  // into the page cache
        const auto [cat, analyze] = medianSideBySide(catFile, analyzeFile, std::max(n, 5));
        std::printf("cat FILE > /dev/null %.3f s\n", cat.seconds);
        put(1, l, format("%.3f s", cat.seconds));
        const double analyzeRatio = analyze.seconds / cat.seconds;
        std::printf("analyze              %.2f s  %.1fx cat  peak %.0f MiB  exit %d\n", analyze.seconds, analyzeRatio,
                    analyze.peakMiB, analyze.status);
        put(2, l, format("%.2f s, %.1fx", analyze.seconds, analyzeRatio));

        const auto [analyzeBeside, assess] = medianSideBySide(analyzeFile, {tool, "assess", file}, n);
        const double assessRatio = assess.seconds / analyzeBeside.seconds;
        std::printf("assess               %.2f s  %.1fx analyze (%.2f s beside it)  peak %.0f MiB  exit %d  "
                    "[goal <= 3x analyze: %s]\n",
                    assess.seconds, assessRatio, analyzeBeside.seconds, assess.peakMiB, assess.status,
                    verdict(assessRatio <= 3));
        put(3, l, format("%.2f s, %.1fx", assess.seconds, assessRatio));

        const auto [catBeside, exported] = medianSideBySide(catFile, {tool, "export", file}, n);
        const double exportRatio = exported.seconds / catBeside.seconds;
        std::printf("export to stdout     %.2f s  %.0fx cat (%.3f s beside it)  peak %.0f MiB  exit %d  "
                    "[goal <= 100x cat: %s]\n",
                    exported.seconds, exportRatio, catBeside.seconds, exported.peakMiB, exported.status,
                    verdict(exportRatio <= 100));
        put(4, l, format("%.2f s, %.0fx", exported.seconds, exportRatio) + format(", %.0f MiB", exported.peakMiB));

        // The window's own peak, through peak_rss: Xvfb and xvfb-run are no part of it.
        std::vector<std::string> window = display;
        const std::string peakFile = dir + "/window.peak";
        for (const std::string& a : {benchDir + "/peak_rss", peakFile, benchDir + "/bench_window_pass", file})
            window.push_back(a);
        const Run w = run(window, dir + "/window.txt");
        double pass = 0, stall = 0, wallSeconds = 0;
        long peakKiB = 0;
        int finished = 0;
        std::sscanf(w.out.c_str(), "%lf %lf %d", &pass, &stall, &finished);
        if (FILE* f = std::fopen(peakFile.c_str(), "r")) {
            if (std::fscanf(f, "%lf %ld", &wallSeconds, &peakKiB) != 2) peakKiB = 0;
            std::fclose(f);
        }
        const double peakMB = peakKiB * 1024 / 1e6;
        const bool month = l.days >= 31;
        std::printf("window pass          %.2f s  longest stall %.0f ms  peak %.0f MB  %s  [goal <= 3 s: %s; <= 300 MB: "
                    "%s; stall <= 50 ms: %s]\n",
                    pass, stall, peakMB, finished ? "finished" : "NOT FINISHED", verdict(pass <= 3),
                    verdict(peakMB <= 300), verdict(stall <= 50));
        put(5, l, format("%.2f s, %.0f MB", pass, peakMB) + format(", stall %.0f ms", stall));

        const std::string pdf = dir + "/report.pdf";
        const auto [analyzeBy, report] = medianSideBySide(analyzeFile, {tool, "report", file, "-o", pdf}, n);
        const double reportRatio = report.seconds / analyzeBy.seconds;
        std::printf("report               %.2f s  %.1fx analyze (%.2f s beside it)  %.0f KB  exit %d  "
                    "[goal <= 3x analyze: %s]\n",
                    report.seconds, reportRatio, analyzeBy.seconds, sizeOf(pdf) / 1e3, report.status,
                    verdict(reportRatio <= 3));
        put(6, l, format("%.2f s, %.1fx", report.seconds, reportRatio));
        ::unlink(pdf.c_str());

        // Another developer's window: its own benchmark, its figures as it prints them.
        std::vector<std::string> trend = display;
        for (const std::string& a : {benchDir + "/bench_trend", std::string("--file"), file}) trend.push_back(a);
        const Run t = run(trend, dir + "/trend.txt");
        std::printf("trend window (bench_trend --file, exit %d):\n%s", t.status, t.out.c_str());
        // Open to the picture of every sample: the whole file summarised, not only a first sketch of it.
        const double open = after(t.out, "open to the picture of every sample", "wall"),
                     peak = after(t.out, "peak memory");
        if (open >= 0) {
            if (l.days >= 7)
                std::printf("trend window open    %.2f s  [goal <= %.0f s: %s]\n", open, month ? 3.0 : 1.0,
                            verdict(open <= (month ? 3 : 1)));
            else
                std::printf("trend window open    %.2f s  [goals on the week and the month]\n", open);
            put(7, l, format("%.2f s", open));
        }
        if (peak >= 0) {
            if (month) std::printf("trend window peak    %.0f MB  [goal <= 300 MB: %s]\n", peak, verdict(peak <= 300));
            else std::printf("trend window peak    %.0f MB  [goal on the month]\n", peak);
            put(8, l, format("%.0f MB", peak));
        }
        if (!keep) ::unlink(file.c_str());
    }

    std::printf("\n| |");
    for (const Length& l : lengths) std::printf(" %s |", l.name.c_str());
    std::printf(" goal |\n|---|");
    for (size_t k = 0; k < lengths.size(); ++k) std::printf("---|");
    std::printf("---|\n");
    for (const Figure& f : table) {
        std::printf("| %s |", f.what.c_str());
        for (const Length& l : lengths) {
            const auto at = f.at.find(l.name);
            std::printf(" %s |", at == f.at.end() ? "—" : at->second.c_str());
        }
        std::printf(" %s |\n", f.goal.c_str());
    }
    return 0;
}
