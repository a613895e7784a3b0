// Writes the benchmarks' generated measurement to a path, for timing commands by hand:
//
//   make_day_file PATH [--samples N] [--days D]
//
// (2,760,000 samples, a day at 32 a second, by default; --days repeats them: 7 for a week, 31 for a month).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "day_file.h"

int main(int argc, char** argv) {
    long samples = 2760000;
    int days = 1;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--samples") && i + 1 < argc) samples = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--days") && i + 1 < argc) days = std::atoi(argv[++i]);
        else if (!path && argv[i][0] != '-') path = argv[i];
        else path = nullptr, i = argc;
    }
    if (!path || samples <= 0 || days < 1) {
        std::fprintf(stderr, "usage: make_day_file PATH [--samples N] [--days D]\n");
        return 2;
    }
    if (!bench::generateRepeated(path, samples, days)) {
        std::fprintf(stderr, "make_day_file: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
