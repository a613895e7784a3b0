// A day-long measurement (2,760,000 samples, 24 hours at 32 a second) through every long job, each as a whole
// process beside `cat FILE > /dev/null` timed in the same run from the page cache:
//
//   bench_day [--samples N] [--table-rows N] [--no-table] [--no-receive]
//
// analyze and export as ratios to cat (median of several runs), assess as a ratio to analyze, the data table of the first 1,000,000 rows in
// seconds, the analysis window's pass with its longest event-loop stall (bench_window_pass, under Xvfb when no
// display is set and xvfb-run is installed, otherwise on the offscreen platform), the report's time and size,
// and a receive through a pseudo-terminal (bench_pty_receive).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "day_file.h"
#include "process_run.h"

namespace {

using bench::median;
using bench::run;
using bench::Run;
using bench::sizeOf;
using bench::verdict;

// Seconds to write `bytes` zero bytes to `path` in 4 MiB blocks and sync them to the disk, as a durable
// replacement of a file of that size must; the file is removed.
double durableWriteSeconds(const std::string& path, long long bytes) {
    std::vector<char> block(4 << 20, 0);
    const auto t0 = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return -1;
    for (long long done = 0; done < bytes;) {
        const size_t n = static_cast<size_t>(std::min<long long>(bytes - done, static_cast<long long>(block.size())));
        const ssize_t w = ::write(fd, block.data(), n);
        if (w <= 0) break;
        done += w;
    }
    ::fdatasync(fd);
    ::close(fd);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ::unlink(path.c_str());
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    long samples = 2760000, tableRows = 1000000;
    bool table = true, receive = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--samples" && i + 1 < argc) samples = std::atol(argv[++i]);
        else if (a == "--table-rows" && i + 1 < argc) tableRows = std::atol(argv[++i]);
        else if (a == "--no-table") table = false;
        else if (a == "--no-receive") receive = false;
        else {
            std::fprintf(stderr, "usage: bench_day [--samples N] [--table-rows N] [--no-table] [--no-receive]\n");
            return 2;
        }
    }
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    const std::string file = d + "/day.MTQ";
    if (!bench::generate(file, samples)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    const std::string bin = MERVO_BIN_DIR, benchDir = MERVO_BENCH_DIR;
    const std::string tool = bin + "/mervo-tool";
    std::printf("measurement          %ld samples, %.1f MB\n", samples, sizeOf(file) / 1e6);

    run({"cat", file});  // into the page cache
    const Run cat = median({"cat", file}, 7);
    std::printf("cat FILE > /dev/null %.1f ms (median of 7)\n", cat.seconds * 1000);

    const Run analyze = median({tool, "analyze", file}, 7);
    const double analyzeRatio = analyze.seconds / cat.seconds;
    std::printf("analyze              %.1f ms  %.1fx cat  peak %.1f MiB  exit %d  [goal <= 3x: %s]\n",
                analyze.seconds * 1000, analyzeRatio, analyze.peakMiB, analyze.status, verdict(analyzeRatio <= 3));

    // With the savings' options: time-of-use periods over the day and a priced candidate.
    const Run assess = median({tool, "assess", file, "--tou",
                               "10:00-12:00=尖峰@1.2;08:00-10:00=峰@1.0;12:00-22:00=峰@1.0;22:00-08:00=谷@0.35",
                               "--motor-price", "IE4-11=9000", "--hours", "6000"},
                              7);
    const double assessRatio = assess.seconds / analyze.seconds;
    std::printf("assess               %.1f ms  %.1fx analyze  peak %.1f MiB  exit %d  [goal <= 3x analyze: %s]\n",
                assess.seconds * 1000, assessRatio, assess.peakMiB, assess.status, verdict(assessRatio <= 3));

    const std::string csv = d + "/day.csv";
    const Run exported = median({tool, "export", file, "-o", csv}, 3, "/dev/null", csv);
    const double exportRatio = exported.seconds / cat.seconds;
    std::printf("export -o            %.2f s  %.0fx cat  %.1f MB of CSV  exit %d  [goal <= 100x: %s]\n",
                exported.seconds, exportRatio, sizeOf(csv) / 1e6, exported.status, verdict(exportRatio <= 100));
    // What the export costs without its file, and what the disk takes to make that many bytes safe: an
    // export -o cannot end before its CSV is on the disk.
    const Run toNull = median({tool, "export", file}, 3);
    std::printf("  export to stdout   %.2f s  %.0fx cat (the rows without the file)\n", toNull.seconds,
                toNull.seconds / cat.seconds);
    const long long csvBytes = sizeOf(csv);
    ::unlink(csv.c_str());
    ::sync();
    const double disk = durableWriteSeconds(d + "/disk.bin", csvBytes);
    std::printf("  the disk alone     %.2f s  %.0fx cat to write and sync as many bytes\n", disk, disk / cat.seconds);

    if (table) {
        const std::string pdf = d + "/table.pdf";
        const Run t = run({tool, "table", file, "-o", pdf, "--from", "1", "--to", std::to_string(tableRows)});
        std::printf("table, %ld rows  %.1f s  %.1f MB of PDF  exit %d  [goal <= 60 s: %s]\n", tableRows, t.seconds,
                    sizeOf(pdf) / 1e6, t.status, verdict(t.seconds <= 60));
    }

    // The window wants a display: Xvfb where it can be had, as an operator's desktop would be.
    std::vector<std::string> window{benchDir + "/bench_window_pass", file};
    const bool xvfb = !std::getenv("DISPLAY") && ::access("/usr/bin/xvfb-run", X_OK) == 0;
    if (xvfb) window.insert(window.begin(), {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24"});
    else if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    double worstPass = 0, worstStall = 0;
    int finished = 0;
    const int windowRuns = 5;
    for (int i = 0; i < windowRuns; ++i) {
        const Run w = run(window, d + "/window.txt");
        double pass = 0, stall = 0;
        int ok = 0;
        if (std::sscanf(w.out.c_str(), "%lf %lf %d", &pass, &stall, &ok) == 3 && ok) ++finished;
        worstPass = std::max(worstPass, pass);
        worstStall = std::max(worstStall, stall);
    }
    std::printf("window pass (%s)  slowest of %d: %.2f s, longest stall %.1f ms, %d finished  "
                "[goal <= 1 s: %s; stall <= 50 ms: %s]\n",
                xvfb ? "Xvfb" : "offscreen", windowRuns, worstPass, worstStall, finished, verdict(worstPass <= 1),
                verdict(worstStall <= 50));

    const std::string report = d + "/report.pdf";
    const Run r = run({tool, "report", file, "-o", report});
    std::printf("report               %.2f s  %.0f KB  exit %d  [goal <= 3 s and < 1 MB: %s]\n", r.seconds,
                sizeOf(report) / 1e3, r.status, verdict(r.seconds <= 3 && sizeOf(report) < 1000000));

    if (receive) {
        const Run rx = run({benchDir + "/bench_pty_receive", "100000"}, d + "/receive.txt");
        std::printf("receive via pty, 100000 blocks:\n%s", rx.out.c_str());
    }
    return 0;
}
