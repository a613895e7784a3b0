// A receive of N blocks (default 100000) pushed through a pseudo-terminal as fast as it will go: wall time,
// blocks per second, peak memory of the receiver, and how many blocks were lost (must be 0).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "measurement/reader.h"

namespace {

pid_t start(const std::string& prog, std::vector<std::string> args, const std::string& out) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        std::vector<char*> argv{const_cast<char*>(prog.c_str())};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(prog.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    const long blocks = argc > 1 ? std::atol(argv[1]) : 100000;
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    const std::string bin = MERVO_BIN_DIR;
    const pid_t sim = start(bin + "/mervo-sim", {"--rate", "0", "--blocks", std::to_string(blocks), "--linger", "5",
                                                  "--start-delay", "200"},
                            d + "/sim.out");
    std::string pty;
    for (int i = 0; i < 500 && pty.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream f(d + "/sim.out");
        std::getline(f, pty);
    }
    if (pty.empty()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t tool = start(bin + "/mervo-tool",
                             {"receive", "--port", pty, "-o", d + "/r.MTQ", "--blocks", std::to_string(blocks)},
                             d + "/tool.out");
    int status = 0;
    struct rusage ru {};
    ::wait4(tool, &status, 0, &ru);
    // Wall time includes the simulator's 0.2 s pause before it starts sending.
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);

    mervo::MeasurementReader r;
    const bool ok = r.open(QString::fromStdString(d + "/r.MTQ")).ok();
    const long got = ok ? static_cast<long>(r.info().wholeSamples) : 0;
    std::printf("blocks sent        %ld\n", blocks);
    std::printf("blocks stored      %ld (lost %ld)\n", got, blocks - got);
    std::printf("receive time       %.2f s (%.0f blocks/s, %.0fx the line rate of 32 blocks/s)\n", secs,
                blocks / secs, blocks / secs / 32.0);
    std::printf("peak memory (RSS)  %.1f MiB\n", ru.ru_maxrss / 1024.0);
    std::printf("exit status        %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::ifstream summary(d + "/tool.out");
    std::string line;
    std::getline(summary, line);
    std::printf("receiver summary   %s\n", line.c_str());
    return got == blocks && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
