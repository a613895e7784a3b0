#include "end_to_end/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace mervo::test {

std::string binDir() {
    const char* d = std::getenv("MERVO_BIN_DIR");
    return d ? d : MERVO_BUILT_BIN_DIR;
}

Child spawn(const std::string& program, const std::vector<std::string>& args, const std::string& outPath,
            const std::string& errPath) {
    Child c;
    c.out = outPath;
    c.err = errPath;
    const std::string path = binDir() + "/" + program;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    c.pid = ::fork();
    if (c.pid == 0) {
        const int o = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, 0);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    return c;
}

int waitExit(Child& c, double timeoutS) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(c.pid, &status, WNOHANG);
        if (r == c.pid) break;
        if (std::chrono::steady_clock::now() > until) {
            ::kill(c.pid, SIGKILL);
            ::waitpid(c.pid, &status, 0);
            c.pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    c.pid = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string waitFirstLine(const std::string& path, double timeoutS) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
    while (std::chrono::steady_clock::now() < until) {
        const std::string s = readFile(path);
        const auto nl = s.find('\n');
        if (nl != std::string::npos) return s.substr(0, nl);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

ProcessResult run(const std::string& program, const std::vector<std::string>& args, const std::string& workDir,
           double timeoutS) {
    Child c = spawn(program, args, workDir + "/run.out", workDir + "/run.err");
    const int status = waitExit(c, timeoutS);
    return {status, readFile(c.out), readFile(c.err)};
}

}  // namespace mervo::test
