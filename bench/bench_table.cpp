// The printed data table of a long generated measurement (default 1,000,000 samples): wall time of
// `mervo-tool table FILE -o OUT.pdf` over the whole range, the pages it printed and the PDF's size.
//
//   bench_table [SAMPLES] [--keep FILE]
//
// --keep writes the measurement to FILE and leaves it there (for a profiler run of the tool by hand).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "day_file.h"

extern char** environ;

namespace {


std::string readAll(const std::string& path) {
    std::string s;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    long samples = 1000000;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) keep = argv[++i];
        else samples = std::atol(argv[i]);
    }
    if (samples < 1) {
        std::fprintf(stderr, "usage: bench_table [SAMPLES] [--keep FILE]\n");
        return 2;
    }
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    const std::string in = keep.empty() ? d + "/long.MTQ" : keep, out = d + "/table.pdf", err = d + "/err.txt";
    if (!bench::generate(in, samples)) {
        std::fprintf(stderr, "cannot write the measurement %s\n", in.c_str());
        return 1;
    }

    const std::string tool = std::string(MERVO_BIN_DIR) + "/mervo-tool";
    std::vector<std::string> args = {tool, "table", in, "-o", out};
    std::vector<char*> argvs;
    for (auto& a : args) argvs.push_back(a.data());
    argvs.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid;
    const int spawned = posix_spawn(&pid, tool.c_str(), &fa, nullptr, argvs.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s\n", tool.c_str());
        return 1;
    }
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    // CPU time as well: on a shared machine the wall time also counts the others' work.
    const double cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;

    // The page count as the tool announced it before printing.
    const std::string messages = readAll(err);
    long pages = -1;
    const size_t at = messages.find("table: ");
    if (at != std::string::npos) pages = std::atol(messages.c_str() + at + 7);
    std::printf("samples %ld: mervo-tool table %.1f s (%.1f s CPU), %ld pages (%.1f ms a page), PDF %lld bytes, exit %d\n",
                samples, seconds, cpu, pages, pages > 0 ? seconds * 1000 / pages : 0.0,
                static_cast<long long>(QFileInfo(QString::fromStdString(out)).size()), exitCode);
    if (exitCode != 0) std::fprintf(stderr, "%s", messages.c_str());
    return exitCode == 0 ? 0 : 1;
}
