// Starting the project's programs from tests, with their output in files.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace mervo::test {

// Where mervo-tool and mervo-sim were built; MERVO_BIN_DIR overrides it.
std::string binDir();

struct Child {
    pid_t pid = -1;
    std::string out, err;  // paths of the files that receive stdout and stderr
};

// Starts program (a name in binDir()) with args; stdout and stderr go to the given files.
Child spawn(const std::string& program, const std::vector<std::string>& args, const std::string& outPath,
            const std::string& errPath);
// Waits up to timeoutS for the child; returns its exit status, 128+signal if signalled, or -1 on time-out
// (the child is then killed).
int waitExit(Child& c, double timeoutS);
std::string readFile(const std::string& path);
// Waits until the file holds a whole first line and returns it (empty on time-out).
std::string waitFirstLine(const std::string& path, double timeoutS);

struct ProcessResult {
    int status;
    std::string out, err;
};
// Runs a program to its end (at most timeoutS).
ProcessResult run(const std::string& program, const std::vector<std::string>& args, const std::string& workDir,
           double timeoutS = 30);

}  // namespace mervo::test
