// The analysis pass over a long generated measurement (default 1,000,000 samples, about 8.7 hours at 32 a
// second): wall time and peak memory of `mervo-tool analyze` and of the pass drawing into the analysis
// window's twenty picture-box images, each beside the time to read the file once as `cat` does.
//
//   bench_analyze [SAMPLES]
//
// Each measured run is its own process, so its peak memory is its own; the same run over a 10-sample file
// gives the idle size that the peak is compared with.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "day_file.h"
#include "analysis/analysis_pass.h"
#include "platform/qt_paint/painter_surface.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Drops the file from the page cache, so the next read comes from the disk.
void dropCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// Reads the file once into nowhere, as `cat FILE > /dev/null` does.
double plainRead(const std::string& path) {
    const auto t0 = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buf(128 * 1024);
    while (::read(fd, buf.data(), buf.size()) > 0) {
    }
    ::close(fd);
    return since(t0);
}

struct Run {
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
    std::string out;
};

// Runs `args` through the small peak_rss program, which measures it from outside.
Run runChild(const std::vector<std::string>& args, const std::string& outFile) {
    const std::string result = outFile + ".rss";
    std::vector<std::string> all{std::string(MERVO_BENCH_DIR) + "/peak_rss", result};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (const auto& a : all) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Run r;
    pid_t pid;
    const int spawned = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (spawned != 0) return r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    long kib = 0;
    if (FILE* f = std::fopen(result.c_str(), "r")) {
        if (std::fscanf(f, "%lf %ld", &r.seconds, &kib) != 2) r.status = -1;
        std::fclose(f);
    }
    r.peakMiB = kib / 1024.0;
    if (FILE* f = std::fopen(outFile.c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, f)) r.out += line;
        std::fclose(f);
    }
    return r;
}

// The window's side of the pass, in this process: twenty picture-box images, slices of samples with the
// panel's texts made once per slice, as the window shows them. Prints the pass time and the longest slice.
int drawPass(const char* file) {
    int argc = 1;
    char name[] = "bench_analyze";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::vector<std::unique_ptr<mervo::ImageSurface>> images;
    mervo::CurveBoxes boxes;
    for (int k = 0; k < mervo::kCurves; ++k) {
        images.push_back(std::make_unique<mervo::ImageSurface>(6135, 1815));
        boxes.cumulative[k] = images.back().get();
        images.push_back(std::make_unique<mervo::ImageSurface>(6135, 1815));
        boxes.segmented[k] = images.back().get();
    }
    mervo::SharedState st;
    st.file.WorkFile = QString::fromLocal8Bit(file);
    mervo::AnalysisPass pass(st, &boxes);
    const auto t0 = Clock::now();
    if (mervo::Status s = pass.begin(QString()); !s) {
        std::fprintf(stderr, "%s\n", s.message().toLocal8Bit().constData());
        return 1;
    }
    double longest = 0;
    size_t panelChars = 0;
    for (;;) {
        const auto s0 = Clock::now();
        const bool over = pass.step(20000);
        const mervo::PanelContent p = pass.lastPanel();
        panelChars += p.boxes[0] ? p.boxes[0]->size() : 0;
        longest = std::max(longest, since(s0));
        if (over) break;
    }
    std::printf("%.3f %.1f %d\n", since(t0), longest * 1000, pass.finished() ? 1 : 0);
    return pass.finished() ? 0 : 1;
}

double idleTarget(const std::vector<std::string>& args, const std::string& out) {
    return runChild(args, out).peakMiB;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--draw") == 0) return drawPass(argv[2]);
    const long samples = argc > 1 ? std::atol(argv[1]) : 1000000;
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    const std::string big = d + "/big.MTQ", tiny = d + "/tiny.MTQ";
    const pid_t gen = ::fork();
    if (gen == 0) ::_exit(bench::generate(big, samples) && bench::generate(tiny, 10) ? 0 : 1);
    int genStatus = 0;
    ::waitpid(gen, &genStatus, 0);
    if (!WIFEXITED(genStatus) || WEXITSTATUS(genStatus) != 0) {
        std::fprintf(stderr, "cannot write the measurement files in %s\n", d.c_str());
        return 1;
    }
    const std::string tool = std::string(MERVO_BIN_DIR) + "/mervo-tool";
    const std::string self =
        argv[0][0] == '/' ? argv[0] : std::string(get_current_dir_name()) + "/" + argv[0];

    dropCache(big);
    const double coldRead = plainRead(big);
    double read = 1e9;
    for (int i = 0; i < 3; ++i) read = std::min(read, plainRead(big));

    const double toolIdle = idleTarget({tool, "analyze", tiny}, d + "/idle.json");
    Run headless;
    for (int i = 0; i < 3; ++i) {
        Run r = runChild({tool, "analyze", big}, d + "/out.json");
        if (i == 0 || r.seconds < headless.seconds) headless = r;
    }
    dropCache(big);
    const Run coldHeadless = runChild({tool, "analyze", big}, d + "/cold.json");
    const double drawIdle = idleTarget({self, "--draw", tiny}, d + "/idle.txt");
    const Run draw = runChild({self, "--draw", big}, d + "/draw.txt");
    double drawPassSeconds = 0, longestSliceMs = 0;
    int finished = 0;
    std::sscanf(draw.out.c_str(), "%lf %lf %d", &drawPassSeconds, &longestSliceMs, &finished);

    const double mib = static_cast<double>(mervo::completeFileBytes(samples)) / (1 << 20);
    std::printf("samples                     %ld (%.1f MiB)\n", samples, mib);
    std::printf("plain read (cat)            %.3f s from the page cache, %.3f s from the disk\n", read,
                coldRead);
    std::printf(
        "mervo-tool analyze          %.3f s  (%.1fx the cached read; process start included)  exit %d\n",
        headless.seconds, headless.seconds / read, headless.status);
    std::printf("  file not cached           %.3f s  (%.1fx the read from the disk)\n", coldHeadless.seconds,
                coldHeadless.seconds / coldRead);
    std::printf("  peak memory               %.1f MiB  (%.1f MiB above its idle %.1f MiB)\n",
                headless.peakMiB, headless.peakMiB - toolIdle, toolIdle);
    std::printf("pass drawing 20 boxes       %.3f s  (whole process %.3f s)  finished %d\n", drawPassSeconds,
                draw.seconds, finished);
    std::printf("  longest slice of 20000    %.1f ms\n", longestSliceMs);
    std::printf("  peak memory               %.1f MiB  (%.1f MiB above its idle %.1f MiB)\n", draw.peakMiB,
                draw.peakMiB - drawIdle, drawIdle);
    std::printf("analyze output              %.200s\n", headless.out.c_str());
    return headless.status == 0 && draw.status == 0 && finished ? 0 : 1;
}
