// A receive, the command-line tool's or the window's, killed outright (kill -9) at a random moment, then
// `mervo-tool recover`: everything the receiver had taken in survives, byte for byte, and at most the last
// second of blocks is missing. The number of repetitions per receiver comes from MERVO_KILL_REPEATS (3 by
// default; the long tier runs 20 or more).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "measurement/reader.h"
#include "end_to_end/expected_samples.h"
#include "end_to_end/process.h"
#include "support/status_matchers.h"

using namespace mervo;
using namespace mervo::test;

namespace {

constexpr int kRate = 200;  // blocks per second

int repeats() {
    const char* v = std::getenv("MERVO_KILL_REPEATS");
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : 3;
}

// Who records: the command-line receive, or the window's receive (timed or manual button).
enum class Receiver { Tool, ToolTimed, WindowTimed, WindowManual };

const char* nameOf(Receiver r) {
    switch (r) {
    case Receiver::Tool: return "mervo-tool receive";
    case Receiver::ToolTimed: return "mervo-tool receive, timed";
    case Receiver::WindowTimed: return "window, timed receive";
    case Receiver::WindowManual: return "window, manual receive";
    }
    return "";
}

// Starts the receiver on the simulator's pty and returns once it is receiving; the file it records into is
// returned through `file`.
Child startReceiver(Receiver who, const std::string& d, const std::string& pty, std::string& file) {
    if (who == Receiver::Tool || who == Receiver::ToolTimed) {
        file = d + "/TEST.MTQ";
        std::vector<std::string> args{"receive", "--port", pty, "-o", file};
        if (who == Receiver::ToolTimed) args.insert(args.end(), {"--seconds", "60"});
        return spawn("mervo-tool", args, d + "/r.out", d + "/r.err");
    }
    // The window records into TEMP.MTX in its program directory and reaches port 1 through the COM1 link.
    file = d + "/TEMP.MTX";
    if (::symlink(pty.c_str(), (d + "/COM1").c_str()) != 0) return Child{};
    Child c = spawn("mervo-gui-receive-driver", {who == Receiver::WindowManual ? "manual" : "timed"},
                    d + "/r.out", d + "/r.err");
    if (waitFirstLine(d + "/r.out", 30) != "receiving") {
        ::kill(c.pid, SIGKILL);
        waitExit(c, 10);
        return Child{};
    }
    return c;
}

void killAndRecover(const std::vector<Receiver>& receivers) {
    const int n = repeats();
    std::random_device rd;
    const unsigned seed = rd();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> killAfterMs(0, 1500);
    std::uniform_int_distribution<size_t> pick(0, receivers.size() - 1);
    std::printf("kill -9 repetitions: %d (seed %u)\n", n, seed);
    double worstDurationError = 0;

    for (int rep = 0; rep < n; ++rep) {
        const Receiver who = receivers[pick(rng)];
        SCOPED_TRACE(testing::Message() << "repetition " << rep + 1 << " (" << nameOf(who) << "), seed " << seed);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string d = dir.path().toStdString();
        setenv("MERVO_HOME", d.c_str(), 1);

        // The simulator starts sending as soon as the receiver opens the line, so the receive's clock and the
        // blocks start together and the duration of the samples kept can be checked.
        Child sim = spawn("mervo-sim", {"--rate", std::to_string(kRate), "--start-delay", "0", "--tee", d + "/sent.bin"},
                          d + "/sim.out", d + "/sim.err");
        const std::string pty = waitFirstLine(d + "/sim.out", 10);
        ASSERT_FALSE(pty.empty()) << readFile(d + "/sim.err");
        std::string file;
        Child receiver = startReceiver(who, d, pty, file);
        if (receiver.pid <= 0) {
            ::kill(sim.pid, SIGTERM);
            waitExit(sim, 10);
            FAIL() << "the receiver did not start: " << readFile(d + "/r.err");
        }
        // Killed only once a real event has happened, the first sample written, however loaded the machine.
        bool written = false;
        for (int waited = 0; !written && waited < 3000; ++waited) {
            written = readFile(file).size() >= 48 + 36;
            if (!written) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const int ms = killAfterMs(rng);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ::kill(receiver.pid, SIGKILL);
        ::kill(sim.pid, SIGTERM);
        EXPECT_EQ(waitExit(receiver, 10), 128 + SIGKILL) << readFile(d + "/r.err");
        waitExit(sim, 10);

        const ProcessResult r = run("mervo-tool", {"recover", file}, d);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("\"recovered\":true"), std::string::npos) << r.out;

        MeasurementReader reader;
        ASSERT_TRUE(test::succeeded(reader.open(QString::fromStdString(file))));
        const MeasurementInfo& info = reader.info();
        ASSERT_TRUE(info.complete);
        const std::string recovered = readFile(file);
        const std::string sent = readFile(d + "/sent.bin");
        const auto sentBlocks = static_cast<int64_t>(sent.size() / 30);
        const int64_t samples = info.wholeSamples;
        // The blocks that were on the line when the receive began were thrown away (at most a quarter second of
        // them); from the first one kept, every block is there in order, bit for bit.
        const std::string all = expectedSamples(sent, 30, 1, 1, static_cast<size_t>(sentBlocks));
        const std::string kept = recovered.substr(48, static_cast<size_t>(samples) * 36);
        size_t skipped = 0;
        while (skipped * 36 < all.size() && all.compare(skipped * 36, 36, kept, 0, 36) != 0) ++skipped;
        EXPECT_LE(skipped, static_cast<size_t>(kRate / 4 + 2)) << "more than a quarter second thrown away at the start";
        EXPECT_TRUE(all.compare(skipped * 36, kept.size(), kept) == 0)
            << "recovered samples differ from the blocks that were sent";
        EXPECT_LE(sentBlocks - static_cast<int64_t>(skipped) - samples, kRate)
            << "more than the last second's blocks are missing";
        EXPECT_TRUE(written) << "no sample was written within 30 s";
        EXPECT_GT(samples, 0);
        // Record 2 states the time the samples kept span: the last one came (samples - 1) block periods after
        // the first, which came right at the start.
        const double spanned = static_cast<double>(samples - 1) / kRate;
        const double durationError = std::fabs(static_cast<double>(info.header.TotalTime) - spanned);
        worstDurationError = std::max(worstDurationError, durationError);
        EXPECT_LT(durationError, 0.25) << "duration " << info.header.TotalTime << " s for " << samples << " samples";
        std::printf("repetition %d (%s): killed %d ms after the first sample, blocks sent %lld, samples recovered "
                    "%lld, lost at the end %lld, duration %.3f s for %.3f s of samples\n",
                    rep + 1, nameOf(who), ms, static_cast<long long>(sentBlocks), static_cast<long long>(samples),
                    static_cast<long long>(sentBlocks - static_cast<int64_t>(skipped) - samples),
                    static_cast<double>(info.header.TotalTime), spanned);
        std::fflush(stdout);
    }
    std::printf("longest duration error after recovery: %.3f s\n", worstDurationError);
}

}  // namespace

TEST(KillRecovery, killedCommandLineReceiveRecoversEverySampleButAtMostTheLastSecond) {
    killAndRecover({Receiver::Tool, Receiver::ToolTimed});
}

TEST(KillRecovery, killedWindowReceiveRecoversEverySampleButAtMostTheLastSecond) {
    killAndRecover({Receiver::WindowTimed, Receiver::WindowManual});
}
