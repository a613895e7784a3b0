#include "app/tool/tool_dispatch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mervo::tool {

bool printingCommand(int argc, char** argv) {
    if (argc < 2) return false;
    const char* cmd = argv[1];
    bool output = false;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return false;
        output = output || !std::strcmp(argv[i], "-o");
    }
    return !std::strcmp(cmd, "table") || !std::strcmp(cmd, "report") || (!std::strcmp(cmd, "assess") && output);
}

int runInstead(const char* program, char** argv) {
    // This program's own file, wherever it was started from; the name it was started by if that cannot be had.
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    size_t length = 0;
    if (n > 0) {
        length = static_cast<size_t>(n);
    } else if (argv[0]) {
        length = std::min(std::strlen(argv[0]), sizeof path - 1);
        std::memcpy(path, argv[0], length);
    }
    path[length] = '\0';
    char* slash = std::strrchr(path, '/');
    const size_t folder = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    if (folder + std::strlen(program) + 1 > sizeof path) {
        std::fprintf(stderr, "mervo-tool: %s: cannot start %s: its folder's name is too long\n",
                     argv[1] ? argv[1] : "", program);
        return 1;
    }
    std::strcpy(path + folder, program);
    ::execv(path, argv);
    std::fprintf(stderr, "mervo-tool: %s: cannot start %s: %s\n", argv[1] ? argv[1] : program, path,
                 std::strerror(errno));
    return 1;
}

}  // namespace mervo::tool
