// peak_rss RESULT PROG [ARGS...]: runs PROG and writes its wall time in seconds and its peak resident memory
// in KiB to the file RESULT. A small program of its own, because a process started straight from a large
// one inherits that one's size as its peak.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: peak_rss RESULT PROG [ARGS...]\n");
        return 2;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(argv[2], argv + 2);
        ::_exit(127);
    }
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    FILE* f = std::fopen(argv[1], "w");
    if (!f) return 1;
    std::fprintf(f, "%.6f %ld\n", secs, ru.ru_maxrss);
    std::fclose(f);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
