// Timing whole processes for the benchmarks: wall time, peak memory, exit status and output of a program run
// as an operator would run it.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct Run {
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
    std::string out;
};

// Runs `args` with stdout into `outFile` (or /dev/null) and stderr into /dev/null.
inline Run run(const std::vector<std::string>& args, const std::string& outFile = "/dev/null") {
    Run r;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(out, 1);
        ::dup2(null, 2);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakMiB = ru.ru_maxrss / 1024.0;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (outFile != "/dev/null") {
        if (FILE* f = std::fopen(outFile.c_str(), "r")) {
            char line[4096];
            while (std::fgets(line, sizeof line, f)) r.out += line;
            std::fclose(f);
        }
    }
    return r;
}

// The run of median time among `runs`.
inline Run middleRun(std::vector<Run> runs) {
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

// The median run of `times` (the machine is shared: one slow run says little).
// `fresh`, when given, is removed before each run, so every run writes a new file as the first export of a
// measurement does (replacing the last run's 600 MB would time the file system freeing it).
inline Run median(const std::vector<std::string>& args, int times, const std::string& outFile = "/dev/null",
           const std::string& fresh = {}) {
    std::vector<Run> runs;
    for (int i = 0; i < times; ++i) {
        if (!fresh.empty()) {
            ::unlink(fresh.c_str());
            ::sync();
        }
        runs.push_back(run(args, outFile));
    }
    return middleRun(runs);
}

// `a` and `b` run in turn, `times` runs each, and the median run of each: two commands compared as a ratio are
// timed side by side, so a shared machine that speeds up or slows down over a bench's minutes weighs on both alike.
inline std::pair<Run, Run> medianSideBySide(const std::vector<std::string>& a, const std::vector<std::string>& b,
                                            int times) {
    std::vector<Run> ra, rb;
    for (int i = 0; i < times; ++i) {
        ra.push_back(run(a));
        rb.push_back(run(b));
    }
    return {middleRun(ra), middleRun(rb)};
}

inline long long sizeOf(const std::string& path) {
    struct stat s {};
    return ::stat(path.c_str(), &s) == 0 ? static_cast<long long>(s.st_size) : -1;
}

inline const char* verdict(bool ok) { return ok ? "ok" : "OVER THE GOAL"; }

}  // namespace bench
