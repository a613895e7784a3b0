// Writes the benchmarks' generated measurement to a path, for timing commands by hand:
//
//   make_day_file PATH [--samples N]
//
// (2,760,000 samples, a day at 32 a second, by default).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "day_file.h"

int main(int argc, char** argv) {
    long samples = 2760000;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--samples") && i + 1 < argc) samples = std::atol(argv[++i]);
        else if (!path && argv[i][0] != '-') path = argv[i];
        else path = nullptr, i = argc;
    }
    if (!path || samples <= 0) {
        std::fprintf(stderr, "usage: make_day_file PATH [--samples N]\n");
        return 2;
    }
    if (!bench::generate(path, samples)) {
        std::fprintf(stderr, "make_day_file: cannot write %s\n", path);
        return 1;
    }
    return 0;
}
